// A column layout line as the settings file keeps it.
#include "common/column_layout.h"
#include "fuzz_support.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line = fuzz::Bytes(data, size);
    const ColumnLayoutLine column = ParseColumnLayoutLine(line, 50);
    FUZZ_CHECK(column.width >= 0 && column.width <= kMaxColumnLayoutWidth);
    FUZZ_CHECK(line.starts_with(column.caption));
    return 0;
}
