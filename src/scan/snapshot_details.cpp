#include "scan/snapshot_details.h"

#include <algorithm>
#include <cmath>

#include "common/date_time.h"
#include "common/files.h"
#include "common/messages.h"
#include "common/section_list.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "platform/text_collate.h"
#include "scan/snapshot_file.h"

namespace tandrel {

namespace {

// Snapshots older than this date have no header worth reading.
constexpr const char* kOldSnapshotText = "pre 13/may/07";

void Report(const char* what, const std::string& file) {
    GetMessages().ShowMessage(MessageKind::Info, std::string(what) + file);
}

// "|key|" lines become "[key]" sections so that the section reader applies.
TStringList HeaderAsSections(const std::string& headerText) {
    TStringList lines = TextToLines(headerText);
    for (std::string& line : lines) {
        if (line.size() >= 2 && line.front() == '|' && line.back() == '|') {
            std::string name;
            for (char c : line)
                if (c != '|') name += c;
            line = "[" + name + "]";
        }
    }
    return lines;
}

TSnapshotDetails* FindCached(ScanModel& model, const std::string& file, TDateTime fileTime) {
    for (auto& entry : model.SnapshotDetailsCache) {
        if (std::fabs(entry->SnapshotFnDt - fileTime) < 0.00001 &&
            platform::SameTextIgnoreCase(entry->SnapshotFn, file))
            return entry.get();
    }
    return nullptr;
}

void ReadHeaderInto(TSnapshotDetails& details, const std::string& file, TDateTime fileTime) {
    const std::string header = ReadExtendedVolumeHeader(file);
    if (Trim(header).empty()) return;
    const TStringList sections = HeaderAsSections(header);

    details.SnapshotCreatedDt = 0;
    const std::string created = GetSectionText(sections, "created", false);
    if (created.empty()) {
        Report("Corrupt snapshot (2): ", file);
        details.SnapshotCreatedDt = fileTime;
        return;
    }
    TDateTime createdDt = 0;
    if (!TryParseIsoDateTime(created, createdDt)) createdDt = 0;
    if (!(createdDt > 10)) {
        Report("Corrupt snapshot (3): ", file);
        createdDt = fileTime;
    }
    details.SnapshotCreatedDt = createdDt;

    std::string root = UnescapeLineName(GetSectionText(sections, "root_path", false));
    if (!root.empty() && root.back() != platform::PathDelim) root += platform::PathDelim;
    details.RootPath = root;
    details.Description = GetSectionText(sections, "description", false);
    details.FilesCount = static_cast<int>(GetSectionInt(sections, "files_count", false));
    details.FoldersCount = static_cast<int>(GetSectionInt(sections, "folders_count", false));
    std::int64_t size = 0;
    if (!TryStrToInt64(GetSectionText(sections, "size", false), size)) {
        // Empty or not a number: the size is unknown.
        Report("Corrupt snapshot (4): ", file);
        size = 0;
    }
    details.SizeInBytes = size;
}

}  // namespace

TSnapshotDetails GetSnapshotDetails(ScanModel& model, const std::string& file) {
    const TDateTime fileTime = FileModificationTime(file);
    {
        std::lock_guard lock(model.csSnapshotDetails);
        if (TSnapshotDetails* cached = FindCached(model, file, fileTime)) return *cached;
    }

    // Read without the lock: the messages below may be modal.
    auto entry = std::make_unique<TSnapshotDetails>();
    entry->SnapshotFn = file;
    entry->SnapshotFnDt = fileTime;
    entry->SnapshotCreatedDt = fileTime;
    entry->RootPath = kOldSnapshotText;
    entry->Description = kOldSnapshotText;
    if (fileTime >= EncodeDateTime(2007, 5, 13, 0, 0, 0, 0)) ReadHeaderInto(*entry, file, fileTime);

    std::lock_guard lock(model.csSnapshotDetails);
    if (TSnapshotDetails* cached = FindCached(model, file, fileTime)) return *cached;
    TSnapshotDetails details = *entry;
    model.SnapshotDetailsCache.push_back(std::move(entry));
    return details;
}

std::vector<TSnapshotDetails> ListSnapshots(ScanModel& model, const std::string& folder) {
    std::vector<TSnapshotDetails> list;
    for (const std::string& file : ListFilePaths(folder, "*.snapshot")) list.push_back(GetSnapshotDetails(model, file));
    std::stable_sort(list.begin(), list.end(), [](const TSnapshotDetails& a, const TSnapshotDetails& b) {
        return a.SnapshotCreatedDt > b.SnapshotCreatedDt;
    });
    return list;
}

}  // namespace tandrel
