#pragma once
// Basic types shared by every library of the program.
#include <stdexcept>
#include <string>
#include <vector>

namespace tandrel {

// An ordered list of UTF-8 lines.
using TStringList = std::vector<std::string>;

// Days since 1899-12-30 00:00 in local time; the fraction is the time of day.
using TDateTime = double;

// Raised by routines whose failure the caller decides how to show.
class TandrelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tandrel
