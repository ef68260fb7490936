// The "snapshots" verb: the stored snapshots with their header facts.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_verbs.h"
#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/split.h"
#include "common/text_filter.h"
#include "scan/snapshot_details.h"

namespace tandrel::cli {

int RunSnapshots(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::fprintf(stderr, "Usage: tandrel-cli snapshots [FILTER]\n");
        return 2;
    }
    const std::vector<std::string> words = args.empty() ? std::vector<std::string>{} : SplitList(args[0], " ");
    ScanModel& model = CurrentModel();
    model.SnapshotsPath = AppSettingsFolder();
    std::printf("Created\tSize\tFolders\tFiles\tRoot path\tDescription\tFile\n");
    for (const TSnapshotDetails& details : ListSnapshots(model, model.SnapshotsPath)) {
        const std::string text = details.SnapshotFn + " " + details.RootPath + " " + details.Description;
        if (!MatchesTextFilter(words, text)) continue;
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\n", FormatDateTimeSec(details.SnapshotCreatedDt).c_str(),
                    FormatBytes(details.SizeInBytes).c_str(), FormatCount(details.FoldersCount).c_str(),
                    FormatCount(details.FilesCount).c_str(), details.RootPath.c_str(), details.Description.c_str(),
                    details.SnapshotFn.c_str());
    }
    return 0;
}

}  // namespace tandrel::cli
