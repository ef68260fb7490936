#include "compare/compare_result.h"

namespace tandrel {

std::string_view CompareResultText(TFileCompareResult result) {
    switch (result) {
        case FC_EMPTY:
            return "";
        case FC_IDENTICAL:
            return "IDENTICAL";
        case FC_LOOSE_COPY:
            return "loose copy";
        case FC_SIZE_DIFFERENT:
            return "size is different";
        case FC_ACCESS_VIOLATION:
            return "access violation";
        case FC_RIGHT_MISSING:
            return "right-file not found";
        case FC_CANCELLED:
            return "";
        case FC_DELETED:
            return "<deleted>";
        case FC_CACHE_MISS:
            return "<unknown>";
        case FC_FILE_MISSING:
            return "<unknown>";
    }
    return "";
}

}  // namespace tandrel
