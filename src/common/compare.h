#pragma once
// Comparators of the sortable lists (-1, 0 or 1) and tolerant equality of
// floating values and times.
#include <cstdint>
#include <string_view>

#include "common/types.h"

namespace tandrel {

// The locale's order with case ignored.
int CompareTextLocale(std::string_view a, std::string_view b);
// Natural order: digit runs compare by value, case ignored.
int CompareLogical(std::string_view a, std::string_view b);
// Component by component, so a folder sorts before everything inside it;
// 0 when the paths are equal ignoring case.
int ComparePaths(std::string_view a, std::string_view b);

// Descending orders: 1 when a < b, -1 when a > b.
int CompareInt64Desc(std::int64_t a, std::int64_t b);
int CompareSingleDesc(float a, float b);
int CompareDoubleDesc(double a, double b);

// |x| < 0.00001.
bool SameFloat(double x);
// Less than 0.00001 days apart.
bool SameDateTime(TDateTime a, TDateTime b);
// Less than 2 seconds apart, or a one-hour daylight-saving shift apart
// (strictly between 3598 and 3602 seconds).
bool SameFileTime(TDateTime a, TDateTime b);
// (a - b) in seconds.
float SecondsBetween(TDateTime a, TDateTime b);
float AbsSecondsBetween(TDateTime a, TDateTime b);

}  // namespace tandrel
