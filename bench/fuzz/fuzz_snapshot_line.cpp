// One line of a snapshot body: the file and folder forms and the unescaping
// of names, with the promise that escaping then unescaping gives the name back.
#include "common/strings.h"
#include "fuzz_support.h"
#include "scan/snapshot_line_format.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Bytes(data, size);
    SnapshotFileLine file;
    if (ParseFileLine(bytes, file)) FUZZ_CHECK(!file.name.empty());
    std::string path;
    ParseFolderLine(bytes, path);
    UnescapeLineName(bytes);
    FUZZ_CHECK(UnescapeLineName(EscapeLineName(bytes)) == bytes);
    return 0;
}
