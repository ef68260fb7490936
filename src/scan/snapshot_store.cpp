#include "scan/snapshot_store.h"

#include <unistd.h>

#include <cstdio>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/strings.h"
#include "common/text_encoding.h"
#include "common/text_file.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "scan/snapshot_file.h"

namespace tandrel {

namespace {

constexpr std::string_view kTempExtension = ".temp_snapshot";
constexpr std::string_view kSnapshotExtension = ".snapshot";

std::string TimeStamp(TDateTime at) {
    const platform::CalendarFields f = DecodeDateTime(at);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d_%03d", f.year, f.month, f.day, f.hour, f.minute,
                  f.second, f.millisecond);
    return text;
}

std::string CollapseUnderscores(std::string name) {
    while (name.find("__") != std::string::npos) name = ReplaceAll(name, "__", "_");
    return name;
}

// The folder for a new temporary snapshot, "" when none is writable.
std::string ChooseTempFolder(ScanModel& model) {
    if (!model.SnapshotsPath.empty()) platform::ForceFolders(model.SnapshotsPath);
    if (model.SnapshotsPath.empty() || !platform::DirectoryExists(model.SnapshotsPath)) {
        GetMessages().ShowMessage(
            MessageKind::Info, "SnapshotsPath: " + model.SnapshotsPath + " does not exist. Switching to app_settings");
        model.SnapshotsPath = AppSettingsFolder();
    }
    if (IsFolderWritable(model.SnapshotsPath)) return model.SnapshotsPath;
    const std::string fallback = DataFolder();
    if (IsFolderWritable(fallback)) return fallback;
    return {};
}

// The description a saved snapshot carries: its file name without extension.
std::string SavedDescription(const std::string& target) {
    std::string name = ExtractFileName(target);
    if (name.ends_with(kSnapshotExtension)) name.resize(name.size() - kSnapshotExtension.size());
    return name;
}

// Puts a new description into the header; the compressed body is copied as
// it is. False when the file is not a container this program wrote.
bool RewriteDescription(const std::string& file, const std::string& description) {
    const std::int64_t separator = FindVolumeSeparator(file);
    if (separator <= 0) return false;
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes) || !std::string_view(bytes).starts_with(kUtf8Bom)) return false;
    TStringList header = TextToLines(ReadExtendedVolumeHeader(file));
    // The writer adds the empty line after the header itself.
    while (!header.empty() && Trim(header.back()).empty()) header.pop_back();
    SetHeaderValue("description", header, {">" + description});
    const std::string_view body = std::string_view(bytes).substr(static_cast<std::size_t>(separator) + 1);
    return SaveExtendedVolume(file, LinesToText(header), body);
}

void ShowPlain(const std::string& text) { GetMessages().ShowMessage(MessageKind::Info, text); }

}  // namespace

std::string TempSnapshotFileName(const std::string& folder, const std::string& rootPath) {
    std::string name = MakeFileNameSafe(rootPath);
    if (!name.ends_with('_')) name += '_';
    name += TimeStamp(Now());
    name += kTempExtension;
    // Only the name is collapsed: the folder is where it is.
    return PathJoin(folder, CollapseUnderscores(name));
}

void SaveTempSnapshot(ScanModel& model, const std::string& rootPath) {
    const std::string previous = model.TempSnapshotFn;
    model.TempSnapshotFn.clear();
    model.TempSnapshotRootPath.clear();
    // Once saved, the recorded file is a permanent snapshot and must stay.
    if (ContainsText(previous, kTempExtension) && platform::FileExists(previous)) platform::DeleteFile(previous);

    const std::string folder = ChooseTempFolder(model);
    if (folder.empty()) {
        model.SnapshotLines.Clear();
        return;
    }
    const std::string file = TempSnapshotFileName(folder, rootPath);
    const TStringList header =
        BuildSnapshotHeader(rootPath, FormatDateTimeMs(Now()), "temp snapshot", model.LastScanStats);
    const CompressedBody body = model.SnapshotLines.TakeBody();
    if (SaveExtendedVolume(file, LinesToText(header), body)) {
        model.TempSnapshotFn = file;
        model.TempSnapshotRootPath = rootPath;
    }
}

bool SaveSnapshot(ScanModel& model, std::string targetName, bool automatic) {
    const std::string temp = model.TempSnapshotFn;
    if (temp.empty() || !platform::FileExists(temp)) {
        ShowPlain("Not enough information available to save snapshot");
        return false;
    }
    if (!Contains(temp, kTempExtension)) {
        ShowPlain("Temp file not in correct format:" + temp);
        return false;
    }
    if (!Contains(targetName, kSnapshotExtension)) targetName += kSnapshotExtension;
    if (targetName.find(platform::PathDelim) == std::string::npos) targetName = AppSettingsFolder() + targetName;
    targetName = MakeFileNamePartSafe(targetName);
    ForceFileFolder(targetName);
    if (!platform::DirectoryExists(ExtractFilePath(targetName))) {
        ShowPlain("Snapshots folder could not be created");
        return false;
    }
    try {
        targetName = MakeUniqueFileName(targetName);
    } catch (const TandrelError&) {
        ShowPlain("Could not save snapshot (1)");
        return false;
    }

    // A failed rewrite keeps the temporary description; the snapshot itself is intact.
    RewriteDescription(temp, SavedDescription(targetName));

    // Unlike the temporary file, a failed move saved nothing: say so and
    // keep the temporary snapshot as the current one.
    if (!platform::MoveFile(temp, targetName)) {
        ShowPlain("Could not save snapshot (1)");
        if (!platform::FileExists(targetName)) ShowPlain("Could not save snapshot (2)");
        return false;
    }
    if (!platform::FileExists(targetName)) {
        ShowPlain("Could not save snapshot (2)");
        return false;
    }
    if (!automatic) Notify("Snapshot saved");
    model.TempSnapshotFn = targetName;
    return true;
}

bool AnotherInstanceRuns() {
    const std::string exeName = ExtractFileName(platform::ExecutablePath());
    if (exeName.empty()) return false;
    for (int pid : platform::FindProcessesByExeName(exeName))
        if (pid != static_cast<int>(getpid())) return true;
    return false;
}

void DeleteTempSnapshots(ScanModel& model) { DeleteTempSnapshots(model, AnotherInstanceRuns()); }

void DeleteTempSnapshots(ScanModel& model, bool anotherInstanceRuns) {
    if (!anotherInstanceRuns) {
        for (const std::string& file : ListFilePaths(AppSettingsFolder(), "*.temp_snapshot"))
            platform::DeleteFile(file);
    }
    // Half-written files of a run that was killed while it saved.
    platform::RemoveStaleAtomicTemporaries(AppSettingsFolder());
    if (!model.SnapshotsPath.empty()) platform::RemoveStaleAtomicTemporaries(model.SnapshotsPath);
    if (ContainsText(model.TempSnapshotFn, kTempExtension) && platform::FileExists(model.TempSnapshotFn))
        platform::DeleteFile(model.TempSnapshotFn);
    if (ContainsText(model.TempSnapshotFn, kTempExtension)) model.TempSnapshotFn.clear();
}

std::string ResolveSnapshotPath(ScanModel& model, const std::string& name) {
    if (name.empty() || name.find(platform::PathDelim) != std::string::npos || platform::PathExists(name)) return name;
    for (const std::string& folder : {model.SnapshotsPath, AppSettingsFolder()}) {
        if (folder.empty()) continue;
        const std::string candidate = PathJoin(folder, name);
        if (platform::FileExists(candidate)) return candidate;
    }
    return name;
}

}  // namespace tandrel
