#include "scan/multi_rename.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "common/compare.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/sorted_list.h"
#include "common/strings.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

constexpr std::string_view kItemSeparator = " | ";
constexpr std::string_view kArrow = " -> ";

struct DatedName {
    std::string name;
    platform::FileTime time = 0;
};

bool IsBlank(std::string_view line) { return Trim(line).empty(); }

void DropTrailingBlankLines(std::vector<std::string>& lines) {
    while (!lines.empty() && IsBlank(lines.back())) lines.pop_back();
}

// A name as it can be read in a message: escaped, and NUL made visible.
std::string Shown(std::string_view name) { return ReplaceAll(EscapeLineName(name), std::string_view("\0", 1), "\\0"); }

}  // namespace

std::vector<std::string> ListNamesToRename(const std::string& folder, std::string_view mask, TRenameSort sort) {
    std::vector<std::string> names = ListFileNames(folder, mask);
    if (sort == TRenameSort::Natural) {
        SortLogical(names);
    } else if (sort == TRenameSort::DateModified) {
        std::vector<DatedName> dated;
        dated.reserve(names.size());
        for (std::string& name : names) {
            DatedName entry{std::move(name), 0};
            std::int64_t size = 0;
            platform::GetFileSizeAndTime(PathJoin(folder, entry.name), size, entry.time);
            dated.push_back(std::move(entry));
        }
        std::stable_sort(dated.begin(), dated.end(), [](const DatedName& a, const DatedName& b) {
            if (a.time != b.time) return a.time < b.time;
            return CompareTextLocale(a.name, b.name) < 0;
        });
        names.clear();
        for (DatedName& entry : dated) names.push_back(std::move(entry.name));
    }
    return names;
}

std::string NamesToLines(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += '\n';
        text += EscapeLineName(names[i]);
    }
    return text;
}

std::vector<std::string> EditorLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    DropTrailingBlankLines(lines);
    return lines;
}

TRenameBatch BuildRenameBatch(const std::string& folder, const std::vector<std::string>& originalLines,
                              const std::vector<std::string>& modifiedLines) {
    TRenameBatch batch;
    batch.folder = AddTrailingBackslash(folder);
    std::vector<std::string> original = originalLines;
    std::vector<std::string> modified = modifiedLines;
    DropTrailingBlankLines(original);
    DropTrailingBlankLines(modified);
    if (original.size() != modified.size()) {
        batch.linesDiffer = true;
        return batch;
    }
    for (std::size_t i = 0; i < original.size(); ++i) {
        if (IsBlank(original[i])) continue;
        std::string oldName = UnescapeLineName(original[i]);
        // Blanks at the ends of a new name are almost always typing slips and
        // invisible in every list, so they never become part of a name.
        std::string newName = Trim(UnescapeLineName(modified[i]));
        if (Trim(oldName) == newName) continue;
        TRenameItem item;
        item.oldName = std::move(oldName);
        item.newName = std::move(newName);
        batch.items.push_back(std::move(item));
    }
    return batch;
}

std::string RenameQueueLine(const TRenameBatch& batch, const TRenameItem& item) {
    std::string line = batch.folder;
    line += kItemSeparator;
    line += EscapeLineName(item.oldName);
    line += kArrow;
    line += EscapeLineName(item.newName);
    if (item.outcome == TRenameOutcome::Renamed) line += " | [OK]";
    if (item.outcome == TRenameOutcome::Skipped) line += " | [skipped]";
    return line;
}

std::vector<std::string> RenameQueueLines(const TRenameBatch& batch) {
    std::vector<std::string> lines;
    lines.reserve(batch.items.size());
    for (const TRenameItem& item : batch.items) lines.push_back(RenameQueueLine(batch, item));
    return lines;
}

namespace {

bool IsPassedOver(const TRenameItem& item) {
    for (const std::string* name : {&item.oldName, &item.newName}) {
        if (Contains(*name, kItemSeparator) || Contains(*name, kArrow)) return true;
    }
    return false;
}

// Whether a name exists in the folder at some point of the run: what the
// earlier renames of the batch did, else what is on the disk now.
class FolderState {
public:
    explicit FolderState(const std::string& folder) : folder_(folder) {}
    bool Exists(const std::string& name) {
        auto found = changed_.find(name);
        if (found != changed_.end()) return found->second;
        return platform::PathExists(folder_ + name);
    }
    void Move(const std::string& from, const std::string& to) {
        changed_[from] = false;
        changed_[to] = true;
    }

private:
    std::string folder_;
    std::map<std::string, bool> changed_;
};

}  // namespace

const std::vector<std::string>& CheckRenameBatch(TRenameBatch& batch) {
    batch.problems.clear();
    FolderState state(batch.folder);
    for (const TRenameItem& item : batch.items) {
        if (item.newName.empty() || item.oldName == item.newName || IsPassedOver(item)) continue;
        const std::string pair = Shown(item.oldName) + std::string(kArrow) + Shown(item.newName);
        if (Contains(item.newName, "/")) {
            batch.problems.push_back(pair + ": a name cannot hold \"/\"");
            continue;
        }
        if (item.newName.find('\0') != std::string::npos) {
            batch.problems.push_back(pair + ": a name cannot hold a NUL character");
            continue;
        }
        if (item.newName == "." || item.newName == "..") {
            batch.problems.push_back(pair + ": not a file name");
            continue;
        }
        if (!state.Exists(item.oldName)) {
            batch.problems.push_back(pair + ": " + Shown(item.oldName) + " does not exist");
            continue;
        }
        if (state.Exists(item.newName)) {
            batch.problems.push_back(pair + ": " + Shown(item.newName) + " exists already");
            continue;
        }
        state.Move(item.oldName, item.newName);
    }
    return batch.problems;
}

int RunRenameBatch(TRenameBatch& batch) {
    if (!CheckRenameBatch(batch).empty()) return -1;
    int renamed = 0;
    for (TRenameItem& item : batch.items) {
        if (IsPassedOver(item)) {
            item.outcome = TRenameOutcome::PassedOver;
            continue;
        }
        if (item.newName.empty() || item.oldName == item.newName) {
            item.outcome = TRenameOutcome::Skipped;
            continue;
        }
        const std::string target = batch.folder + item.newName;
        // Never replaces: the check may be overtaken by another program.
        if (platform::MoveFile(batch.folder + item.oldName, target) && platform::PathExists(target)) {
            item.outcome = TRenameOutcome::Renamed;
            ++renamed;
        } else {
            item.outcome = TRenameOutcome::Failed;
            item.error = platform::LastErrorText();
        }
    }
    return renamed;
}

std::string RenameFailureReport(const TRenameBatch& batch) {
    std::string renamed;
    std::string notRenamed;
    for (const TRenameItem& item : batch.items) {
        const std::string pair = Shown(item.oldName) + std::string(kArrow) + Shown(item.newName);
        switch (item.outcome) {
            case TRenameOutcome::Renamed:
                renamed += "\n  " + pair;
                break;
            case TRenameOutcome::Failed:
                notRenamed += "\n  " + pair + " (" + item.error + ")";
                break;
            case TRenameOutcome::PassedOver:
                notRenamed += "\n  " + pair + " (name holds \" | \" or \" -> \")";
                break;
            case TRenameOutcome::Pending:
                notRenamed += "\n  " + pair;
                break;
            case TRenameOutcome::Skipped:
                break;
        }
    }
    std::string report = "Renamed:" + (renamed.empty() ? std::string(" none") : renamed);
    report += "\nNot renamed:" + (notRenamed.empty() ? std::string(" none") : notRenamed);
    return report;
}

}  // namespace tandrel
