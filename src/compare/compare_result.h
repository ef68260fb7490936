#pragma once
// The verdict on a pair of files and its display text.
#include <cstdint>
#include <string_view>

namespace tandrel {

enum TFileCompareResult : std::uint8_t {
    FC_EMPTY = 0,       // not compared yet
    FC_IDENTICAL = 1,   // same size and content
    FC_LOOSE_COPY = 2,  // same size, content differs
    FC_SIZE_DIFFERENT = 3,
    FC_ACCESS_VIOLATION = 4,  // a file cannot be opened or read
    FC_RIGHT_MISSING = 5,
    FC_CANCELLED = 6,
    FC_DELETED = 7,     // the left file was deleted by the view
    FC_CACHE_MISS = 8,  // a cache lookup only; never stored in a row
    FC_FILE_MISSING = 9,
};

// The Status column text: "IDENTICAL", "loose copy", ...; empty for
// FC_EMPTY and FC_CANCELLED (and for a value out of range).
std::string_view CompareResultText(TFileCompareResult result);

}  // namespace tandrel
