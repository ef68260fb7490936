#include "gui/shell/start_mode.h"

#include <string_view>
#include <vector>

#include "common/command_line.h"
#include "common/date_time.h"
#include "common/paths.h"
#include "common/strings.h"
#include "platform/text_collate.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

const std::string& Param(const std::vector<std::string>& params, int position) {
    static const std::string none;
    return position >= 1 && position <= static_cast<int>(params.size()) ? params[position - 1] : none;
}

bool Exists(const std::string& path) { return !path.empty() && platform::PathExists(path); }

bool NamesSnapshot(const std::string& param) { return Contains(platform::LowerCase(param), ".snapshot"); }

// A second parameter is the snapshot name of a save-and-exit scan unless it
// is one of the program's own switches or options: "debug" after a folder
// asks for the diagnostics, not for a snapshot called "debug".
bool IsSwitchOrOption(std::string_view param) {
    if (param.starts_with("/")) param.remove_prefix(1);
    for (std::string_view word :
         {"noinstall", "treemap", "comparetrees", "duplicates", "keepdesigntab", "debug_treemap", "debug", "is_admin",
          "uninstall", "ForceInstall", "shell_register", "shell_unregister"}) {
        if (param == word) return true;
    }
    for (std::string_view option : {"date", "dateoffset", "saveas", "fn"}) {
        if (param.size() > option.size() && param.starts_with(option) &&
            (param[option.size()] == '=' || param[option.size()] == ':')) {
            return true;
        }
    }
    return false;
}

// The program moves to its settings folder right after this decision, so
// every path the user gave relative to where they started is made whole now.
StartRequest Absolute(StartRequest request) {
    if (!request.a.empty()) request.a = ExpandFileName(request.a);
    if (!request.b.empty()) request.b = ExpandFileName(request.b);
    if (!request.snapshot.empty()) request.snapshot = ExpandFileName(request.snapshot);
    // A bare snapshot name goes to the settings folder; one with a folder part
    // means the folder where the user started.
    if (request.autoSaveFn.find('/') != std::string::npos) request.autoSaveFn = ExpandFileName(request.autoSaveFn);
    return request;
}

StartRequest DecideStartModeHere() {
    const std::vector<std::string>& params = CommandLineArgs();
    StartRequest request;

    // "comparetrees A B" names its folders after the switch, so it is read
    // before the first parameter is required to exist (the switch itself
    // never does).
    if (const int at = SwitchIndex("comparetrees"); at > 0) {
        const std::string& a = Param(params, at + 1);
        const std::string& b = Param(params, at + 2);
        if (platform::DirectoryExists(a) && platform::DirectoryExists(b)) {
            request.mode = StartMode::FolderCompare;
            request.a = a;
            request.b = b;
            return request;
        }
    }

    // "duplicates" opens the duplicate finder on the list named by "fn".
    if (HasSwitch("duplicates")) {
        request.mode = StartMode::Duplicates;
        request.a = GetOption("fn");
        return request;
    }

    const std::string& first = Param(params, 1);
    const std::string& second = Param(params, 2);
    if (NamesSnapshot(first)) request.snapshot = first;
    if (params.size() >= 2 && Exists(first) && Exists(second)) {
        request.a = first;
        request.b = second;
    } else if (Exists(first)) {
        request.a = first;
    } else {
        return request;
    }
    // Kept for the treemap's snapshot load of an ordinary run.
    const std::string snapshot = request.snapshot;

    if (HasSwitch("treemap")) {
        request.mode = StartMode::FolderScan;
        request.a = first;
        request.b.clear();
        request.showTreemap = true;
        return request;
    }
    // A snapshot and a folder: what changed in that folder since the snapshot.
    if (!request.snapshot.empty() && platform::FileExists(request.a) && platform::DirectoryExists(request.b)) {
        request.mode = StartMode::SnapshotCompare;
        return request;
    }
    if (platform::FileExists(request.a) && platform::FileExists(request.b)) {
        request.mode = StartMode::FileCompare;
        return request;
    }
    if (platform::DirectoryExists(request.a) && platform::DirectoryExists(request.b)) {
        request.mode = StartMode::FolderCompare;
        return request;
    }
    if (!platform::DirectoryExists(request.a)) {
        StartRequest ordinary;
        ordinary.snapshot = snapshot;
        return ordinary;
    }

    request.mode = StartMode::FolderScan;
    request.b.clear();
    std::string target = GetOption("saveas");
    if (target.empty() && !IsSwitchOrOption(second)) target = second;
    if (!target.empty()) request.autoSaveFn = ExpandDatePattern(target);
    return request;
}

}  // namespace

StartRequest DecideStartMode() { return Absolute(DecideStartModeHere()); }

}  // namespace tandrel
