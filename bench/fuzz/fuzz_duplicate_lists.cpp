// The duplicate finder's saved ".filelist" and ".results" (the first byte
// chooses which), loaded and then shown as the duplicates page shows them.
#include "compare/duplicate_finder.h"
#include "fuzz_support.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzHome();
    if (size < 1) return 0;
    static const std::string folders = "/fuzz/folder";
    const bool results = data[0] & 1;
    const std::string file = results ? DuplicatesResultsFile(folders) : DuplicatesFileListFile(folders);
    static const bool made = platform::ForceFolders(file.substr(0, file.rfind('/')));
    (void)made;
    fuzz::WriteInput(file, fuzz::Bytes(data + 1, size - 1));

    static ScanModel model;
    TCompareCache cache(fuzz::FuzzPath("identical.ini"), fuzz::FuzzPath("different.ini"));
    TDuplicateFinder finder(model, cache);
    FUZZ_CHECK(results ? finder.LoadResults(folders) : finder.LoadFileList(folders));
    FUZZ_CHECK(finder.duplicateFilesLVItems.Count() == static_cast<int>(finder.Entries.size()));

    TGroupFilterOptions options;
    options.filter = data[0] & 2 ? "a -b" : "";
    options.matchFilename = data[0] & 4;
    options.matchParentFolderName = data[0] & 8;
    const TDuplicateRows rows = finder.GroupFilter(options);
    FUZZ_CHECK(rows.files >= 0 && rows.groups >= 0);
    for (int row : rows.rows) {
        if (row == kGroupSeparatorRow) continue;
        FUZZ_CHECK(row >= 0 && row < static_cast<int>(finder.Entries.size()));
        finder.GroupMembers(finder.Entry(row).Checksum);
    }
    rows.Summary();
    return 0;
}
