#pragma once
// Number, size and percentage texts shown by every view.
#include <cstdint>
#include <string>
#include <string_view>

namespace tandrel {

// Rounded to an integer, groups of three digits separated by "," whatever
// the locale (1234567 gives "1,234,567").
std::string FormatCount(double value);
// FormatCount with "+" in front of positive values and of zero.
std::string FormatCountSigned(double value);
// The locale's grouping and decimal separators, the given number of decimals.
std::string FormatGrouped(int decimals, double value);
// No grouping, the locale's decimal separator.
std::string FormatFixed(int decimals, double value);
// "1023b", "1.00KB", "1.00MB", "1.00GB" (1024-based, no blank before the
// unit). Bytes are plain digits; negative values are always shown in bytes.
std::string FormatBytes(std::int64_t bytes);
// "+50%" style change from old to new; empty when old is zero.
std::string FormatPercentChange(int decimals, double newValue, double oldValue);
// value x the unit ("bytes", "kb", "mb", "gb", any case). An unknown unit is
// shown as "Unknown size type" and gives the value unchanged. Results beyond
// the 64-bit range saturate at its ends.
std::int64_t SizeInUnitToBytes(std::string_view unit, std::int64_t value);
// Zeros in front until the text has at least width characters.
std::string PadZero(std::string_view text, int width);

}  // namespace tandrel
