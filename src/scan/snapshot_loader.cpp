#include "scan/snapshot_loader.h"

#include <limits>
#include <vector>

#include "common/paths.h"
#include "scan/folder_records.h"
#include "scan/scan_sinks.h"
#include "scan/snapshot_line_format.h"

namespace tandrel {

namespace {

using platform::PathDelim;

// One open folder. The nesting comes from untrusted text, so the open
// folders live on a heap stack instead of the call stack.
template <typename Folder>
struct Frame {
    std::string path;  // with trailing "/"; empty for a call without a path
    Folder folder;
    TDirectoryStats result;
    TDirectoryStats own;
    bool raisedDepth = false;
};

bool IsBelow(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder;
}

// The part of a child path below its folder, without trailing "/": the bare
// name for a well-formed snapshot.
std::string_view RelativeName(std::string_view path, std::string_view folder) {
    std::string_view rest = path.substr(folder.size());
    while (!rest.empty() && rest.back() == PathDelim) rest.remove_suffix(1);
    return rest;
}

// Where the tree load puts things: nodes and records of the model. Unlike
// the live walk's tree, it writes no lines and takes no lock (nothing reads
// the model while a snapshot loads), and sizes go up once per folder.
class TreeTarget {
public:
    using Folder = TreeSink::Folder;
    explicit TreeTarget(ScanModel& model) : m_(model) {}
    int& Depth() { return m_.ScanDepth; }

    void OpenNamed(Folder& f, const std::string& path, std::string_view name) {
        if (f.node == m_.Root())
            f.node->Name = RemoveTrailingBackslash(path);
        else
            f.node->Name.AssignIn(m_.DiskTreeMapEntries.Names, name);
        f.record = AddTreeFolderRecord(m_, f.parentRecord, f.parentRecord ? name : RemoveTrailingBackslash(path));
    }
    Folder NewChild(Folder& parent) {
        TDiskTreeMapEntry* child = m_.DiskTreeMapEntries.Add();
        child->EntryType = EntryType_Directory;
        child->ParentNodeIdx = parent.node;
        parent.node->ChildrenEntries.push_back(child);
        return Folder{child, parent.record, nullptr};
    }
    void AddFile(Folder& f, SnapshotFileLine& line) {
        TDiskTreeMapEntry* file = m_.DiskTreeMapEntries.Add();
        file->EntryType = EntryType_File;
        file->Name.AssignIn(m_.DiskTreeMapEntries.Names, line.name);
        file->SizeTotal = line.size;
        file->DateM = line.lastWrite;
        file->ParentNodeIdx = f.node;
        f.node->ChildrenEntries.push_back(file);
    }
    void Complete(Folder& f, const TDirectoryStats& total, const TDirectoryStats& own) {
        // Added, not assigned: a root that starts with the free space keeps it.
        f.node->SizeTotal += total.Size;
        CompleteFolderRecord(*f.record, total, own, m_.ScanDepth);
        AddFilesRecord(m_, *f.record);
    }

private:
    ScanModel& m_;
};

// The flat load fills the caller's lists through the live walk's list sink.

template <typename Target>
class SnapshotLoad {
public:
    using Folder = typename Target::Folder;
    using Frame = tandrel::Frame<Folder>;

    SnapshotLoad(ScanModel& model, SnapshotLineReader& lines, Target& target, SnapshotLoadReport& report)
        : m_(model), lines_(lines), target_(target), report_(report) {}

    TDirectoryStats Run(const std::string& path, TDiskTreeMapEntry* node, TDirectoryEntry* parentRecord) {
        if (m_.StopRequested()) return {};
        SetProgressPath(m_, path);
        Frame top;
        if constexpr (requires { top.folder.node; }) top.folder.node = node;
        top.folder.parentRecord = parentRecord;
        top.folder.record = parentRecord;  // a pathless call hands its parent record on
        if (!path.empty()) {
            top.path = AddTrailingBackslash(path);
            OpenFolder(top, FolderNameOf(top.path));
        }
        stack_.push_back(std::move(top));
        const bool pathless = path.empty();

        const bool finished = ReadLines();
        if (lines_.Failed() && report_.error.empty()) {
            report_.error = lines_.Error().empty() ? "snapshot body could not be read" : lines_.Error();
        }
        if (report_.error.empty() && finished && pathless && !rootSeen_) report_.error = "snapshot holds no folder";

        // Unwind: complete the open folders only when the lines really ended.
        const bool complete = finished && report_.error.empty();
        while (stack_.size() > 1) CloseFolder(complete);
        Frame& bottom = stack_.front();
        if (!pathless) {
            bottom.result.Add(bottom.own);
            if (complete) target_.Complete(bottom.folder, bottom.result, bottom.own);
        }
        return bottom.result;
    }

private:
    void OpenFolder(Frame& f, std::string_view name) {
        SetProgressPath(m_, f.path);
        NotifyFolderVisit(f.path);
        target_.OpenNamed(f.folder, f.path, name);
    }

    // Pops the innermost folder into its parent.
    void CloseFolder(bool complete) {
        Frame& f = stack_.back();
        f.result.Add(f.own);
        if (complete) target_.Complete(f.folder, f.result, f.own);
        if (f.raisedDepth) target_.Depth()--;
        TDirectoryStats result = f.result;
        stack_.pop_back();
        stack_.back().result.Add(result);
    }

    // False when the load was stopped or refused before the lines ended.
    bool ReadLines() {
        std::string_view line;
        SnapshotFileLine file;
        std::string folderPath;
        bool skipRest = false;
        while (lines_.Next(line)) {
            if (!m_.WaitWhilePaused()) return false;
            if (skipRest) {
                report_.skippedLines++;
                continue;
            }
            if (!IsFolderLine(line)) {
                Frame& f = stack_.back();
                // A file needs a folder to belong to, a name and a real size.
                // Sizes that would carry the load's total past the int64 range
                // are garbage: every folder's sum is part of that total, so
                // none of them can overflow either.
                if (f.path.empty() || !ParseFileLine(line, file) || file.size < 0 ||
                    file.size > std::numeric_limits<std::int64_t>::max() - loadedSize_) {
                    report_.skippedLines++;
                    continue;
                }
                loadedSize_ += file.size;
                f.own.FilesCount++;
                f.own.Size += file.size;
                target_.AddFile(f.folder, file);
                continue;
            }
            if (!ParseFolderLine(line, folderPath)) {
                report_.skippedLines++;
                continue;
            }
            if (folderPath.back() != PathDelim) folderPath += PathDelim;
            if (folderPath == stack_.back().path) {  // the open folder again
                report_.skippedLines++;
                continue;
            }
            // The innermost open folder this one lies below; a line without a
            // name of its own there is skipped before any folder is closed.
            std::size_t keep = stack_.size();
            while (keep > 1 && !IsBelow(folderPath, stack_[keep - 1].path)) --keep;
            const std::string& outer = stack_[keep - 1].path;
            if (!outer.empty() && IsBelow(folderPath, outer) && RelativeName(folderPath, outer).empty()) {
                report_.skippedLines++;
                continue;
            }
            while (stack_.size() > keep) {
                CloseFolder(true);
                if (m_.StopRequested()) return false;
            }
            Frame& parent = stack_.back();
            if (parent.path.empty()) {
                // The first folder line is the root; a second top-level block
                // would rename it, so it is left out with everything after it.
                if (rootSeen_) {
                    skipRest = true;
                    report_.skippedLines++;
                    continue;
                }
                rootSeen_ = true;
                Frame root;
                root.path = folderPath;
                root.folder = parent.folder;
                root.folder.parentRecord = parent.folder.record;
                root.folder.record = nullptr;
                OpenFolder(root, FolderNameOf(folderPath));
                stack_.push_back(std::move(root));
                continue;
            }
            if (!IsBelow(folderPath, parent.path)) {
                lines_.StepBack();  // belongs to the caller's outer folder
                return true;
            }
            const std::string_view name = RelativeName(folderPath, parent.path);
            if (static_cast<int>(stack_.size()) > kMaxSnapshotFolderDepth) {
                report_.error =
                    "snapshot folders nest deeper than " + std::to_string(kMaxSnapshotFolderDepth) + " levels";
                return false;
            }
            parent.own.DirectoriesCount++;
            target_.Depth()++;
            Frame child;
            child.path = folderPath;
            child.raisedDepth = true;
            child.folder = target_.NewChild(parent.folder);
            OpenFolder(child, name);
            stack_.push_back(std::move(child));
        }
        return !lines_.Failed();
    }

    ScanModel& m_;
    SnapshotLineReader& lines_;
    Target& target_;
    SnapshotLoadReport& report_;
    std::vector<Frame> stack_;
    bool rootSeen_ = false;
    std::int64_t loadedSize_ = 0;
};

}  // namespace

TDirectoryStats LoadSnapshotToTreemap(ScanModel& model, SnapshotLineReader& lines, const std::string& path,
                                      TDiskTreeMapEntry* node, TDirectoryEntry* parentRecord,
                                      SnapshotLoadReport* report) {
    SnapshotLoadReport local;
    SnapshotLoadReport& out = report ? *report : local;
    if (!node) {
        out.error = "no node to load into";
        return {};
    }
    TreeTarget target(model);
    return SnapshotLoad<TreeTarget>(model, lines, target, out).Run(path, node, parentRecord);
}

TDirectoryStats LoadSnapshotToLists(ScanModel& model, SnapshotLineReader& lines, const std::string& path,
                                    TOwningStore<TFileEntry>& files, TOwningStore<TDirectoryEntry>& folders,
                                    TDirectoryEntry* parentRecord, SnapshotLoadReport* report) {
    SnapshotLoadReport local;
    SnapshotLoadReport& out = report ? *report : local;
    ListSink target(model, files, folders);
    return SnapshotLoad<ListSink>(model, lines, target, out).Run(path, nullptr, parentRecord);
}

}  // namespace tandrel
