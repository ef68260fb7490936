#include "scan/debug_snapshot.h"

#include "common/app_folders.h"
#include "common/paths.h"
#include "common/stop_token.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "scan/folder_walk.h"
#include "scan/snapshot_line_format.h"

namespace tandrel {

namespace {

// Lines only: no model, no records, nothing counted.
class DebugLineSink {
public:
    struct Folder {};
    static constexpr bool kPauseAfterFile = false;

    explicit DebugLineSink(TStringList& lines) : lines_(lines) {}

    int& Depth() { return depth_; }
    bool Enter(const std::string&) { return true; }
    void Open(Folder&, const std::string& pathWithDelim, platform::FindRecord*) {
        lines_.push_back("|" + RemoveTrailingBackslash(pathWithDelim));
    }
    void Reserve(Folder&, std::size_t) {}
    void SubfolderMet(const platform::FindRecord&) {}
    void AddFile(Folder&, platform::FindRecord& entry) {
        std::string line;
        AppendFileLine(line, entry, ScanTimeToDateTime(entry.lastWriteTime));
        lines_.push_back(std::move(line));
    }
    void Flush(Folder&) {}
    Folder NewChild(Folder&) { return {}; }
    void Complete(Folder&, const TDirectoryStats&, const TDirectoryStats&) {}

private:
    TStringList& lines_;
    int depth_ = 0;
};

}  // namespace

std::string DebugSnapshotFile() { return DebugFolder() + "snapshot_new_format.txt"; }

bool WriteDebugSnapshot(const std::string& folder, const std::string& target) {
    TStringList lines{"|files.v2|"};
    DebugLineSink sink(lines);
    TStopToken never;
    FolderWalkOptions options;
    options.order = SubfolderOrder::Enumeration;
    FolderWalk<DebugLineSink> walk(never, sink, folder, std::move(options));
    walk.Run({});
    return platform::WriteFileBytes(target, LinesToText(lines));
}

}  // namespace tandrel
