#include "common/files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "common/message_routines.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/types.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

using platform::FindRecord;

bool IsSafeNameChar(unsigned char c) {
    if (c >= 128) return true;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
        case ' ':
        case '\'':
        case '+':
        case ',':
        case '-':
        case '.':
        case '[':
        case ']':
        case '^':
        case '_':
        case '~':
            return true;
        default:
            return false;
    }
}

std::string CollapseUnderscoresOnce(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == '_' && i + 1 < text.size() && text[i + 1] == '_') ++i;
    }
    return result;
}

// Length of the UTF-8 sequence starting at text[i] (a stray byte counts as one).
std::size_t CodePointLength(std::string_view text, std::size_t i) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 1;
    return i + length > text.size() ? 1 : length;
}

// Wildcard match of lower-cased UTF-8 texts: "?" takes one code point, "*"
// backtracks to the last star only, which keeps it linear in practice. Literal
// bytes compare directly: equal code points are equal byte sequences, and a
// star advances a whole code point so a literal never starts mid-sequence.
bool WildcardMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && mask[m] == '?') {
            ++m;
            n += CodePointLength(name, n);
        } else if (m < mask.size() && mask[m] == name[n]) {
            ++m;
            ++n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            starName += CodePointLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

struct ListedFile {
    std::string name;
    platform::FileTime lastWrite = 0;
};

std::vector<ListedFile> ListMatchingFiles(const std::string& folder, std::string_view mask) {
    std::vector<ListedFile> files;
    platform::FolderEnumerator enumerator(folder);
    FindRecord record;
    while (enumerator.Next(record))
        if (!record.IsDirectory() && MatchesMask(record.name, mask))
            files.push_back({record.name, record.lastWriteTime});
    return files;
}

bool IsLinkOrMountPoint(const std::string& path) {
    FindRecord record;
    return platform::GetFindRecord(path, record) && record.IsReparsePoint();
}

bool IsReadOnly(const std::string& path) {
    std::uint32_t attributes = platform::GetAttributes(path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES && (attributes & platform::FILE_ATTRIBUTE_READONLY);
}

// Clears read-only on a real file or folder; what a link points to is left alone.
void ClearReadOnly(const std::string& path) {
    if (!IsLinkOrMountPoint(path)) platform::SetAttributesNormal(path);
}

bool ShouldReportFailure(bool showMessages) { return showMessages && !GetMessages().IsCtrlHeld(); }

// Removes everything inside the folder, then the folder. Links and other
// file systems are never entered.
bool DeleteTree(const std::string& folder) {
    ClearReadOnly(folder);
    std::vector<FindRecord> entries;
    {
        platform::FolderEnumerator enumerator(folder);
        FindRecord record;
        while (enumerator.Next(record)) entries.push_back(record);
    }
    for (const FindRecord& entry : entries) {
        std::string path = PathJoin(folder, entry.name);
        if (entry.IsDirectory() && !entry.IsReparsePoint())
            DeleteTree(path);
        else if (!platform::DeleteFile(path) && !entry.IsDirectory())
            DeleteFileEx(path, false);
    }
    return platform::RemoveFolder(folder);
}

}  // namespace

std::string MakeFileNameSafe(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (!IsSafeNameChar(static_cast<unsigned char>(c))) c = '_';
    return CollapseUnderscoresOnce(CollapseUnderscoresOnce(result));
}

std::string MakeFileNamePartSafe(std::string_view path) {
    return ExtractFilePath(path) + MakeFileNameSafe(ExtractFileName(path));
}

std::string MakeUniqueFileName(const std::string& path) {
    if (!platform::PathExists(path)) return path;
    std::string ext = ExtractFileExt(path);
    std::string base = path.substr(0, path.size() - ext.size());
    for (int counter = 1; counter <= 999999; ++counter) {
        char number[16];
        std::snprintf(number, sizeof number, "_%05d", counter);
        std::string candidate = base + number + ext;
        if (!platform::PathExists(candidate)) return candidate;
    }
    throw TandrelError("No free file name for " + path);
}

bool ForceFileFolder(const std::string& file) {
    std::string folder = ExtractFilePath(file);
    return folder.empty() || platform::ForceFolders(folder);
}

bool IsFolderWritable(const std::string& folder) {
    if (folder.empty() || !platform::DirectoryExists(folder)) return false;
    // A file of the user's that happens to carry the probe's name is left alone.
    std::string probe;
    try {
        probe = MakeUniqueFileName(PathJoin(folder, "TestPermissions.ini"));
    } catch (const TandrelError&) {
        return false;
    }
    if (!platform::WriteFileBytes(probe, "-")) {
        platform::DeleteFile(probe);
        return false;
    }
    return platform::DeleteFile(probe);
}

bool MatchesMask(std::string_view name, std::string_view mask) { return WildcardMask(mask).Matches(name); }

WildcardMask::WildcardMask(std::string_view mask)
    : matchesAll_(mask.empty() || mask == "*.*" || mask == "*"), lowerMask_(platform::LowerCase(mask)) {
    hasDotStarTail_ = lowerMask_.size() >= 2 && lowerMask_.ends_with(".*");
}

bool WildcardMask::Matches(std::string_view name) const {
    if (matchesAll_) return true;
    std::string lowerName = platform::LowerCase(name);
    if (WildcardMatch(lowerName, lowerMask_)) return true;
    if (hasDotStarTail_ && lowerName.find('.') == std::string::npos)
        return WildcardMatch(lowerName, std::string_view(lowerMask_).substr(0, lowerMask_.size() - 2));
    return false;
}

std::vector<std::string> ListFileNames(const std::string& folder, std::string_view mask) {
    std::vector<std::string> names;
    for (ListedFile& file : ListMatchingFiles(folder, mask)) names.push_back(std::move(file.name));
    return names;
}

std::vector<std::string> ListFilePaths(const std::string& folder, std::string_view mask) {
    std::vector<std::string> paths;
    for (const ListedFile& file : ListMatchingFiles(folder, mask)) paths.push_back(PathJoin(folder, file.name));
    return paths;
}

std::vector<std::string> ListFileNamesByDate(const std::string& folder, std::string_view mask) {
    std::vector<ListedFile> files = ListMatchingFiles(folder, mask);
    std::stable_sort(files.begin(), files.end(),
                     [](const ListedFile& a, const ListedFile& b) { return a.lastWrite < b.lastWrite; });
    std::vector<std::string> names;
    for (ListedFile& file : files) names.push_back(std::move(file.name));
    return names;
}

bool DeleteFileIfExists(const std::string& file) {
    if (!platform::PathExists(file)) return true;
    platform::DeleteFile(file);
    return !platform::PathExists(file);
}

bool IsReadOnlyOrHidden(const std::string& path) {
    std::uint32_t attributes = platform::GetAttributes(path);
    if (attributes == platform::INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN)) != 0;
}

bool DeleteFileEx(const std::string& file, bool showMessages) {
    if (platform::DeleteFile(file) || !platform::PathExists(file)) return true;
    ClearReadOnly(file);
    // A hidden name cannot be changed here and does not stop a delete, so
    // only a remaining read-only flag is worth telling.
    if (showMessages && IsReadOnly(file)) ShowInfo("File is read-only or hidden: " + file);
    if (platform::DeleteFile(file) || !platform::PathExists(file)) return true;
    if (ShouldReportFailure(showMessages)) ShowError("Could not delete file: " + file);
    return false;
}

bool DeleteFolderEx(const std::string& folder, bool showMessages) {
    if (!platform::PathExists(folder)) return true;
    if (IsLinkOrMountPoint(folder)) {
        // A link to a folder goes as a link; its target's content stays.
        if (platform::DeleteFile(folder) || !platform::PathExists(folder)) return true;
    } else {
        ClearReadOnly(folder);
        if (showMessages && IsReadOnly(folder)) ShowInfo("Folder is read-only or hidden: " + folder);
        if (DeleteTree(folder) || !platform::PathExists(folder)) return true;
    }
    if (ShouldReportFailure(showMessages)) ShowError("Could not delete directory: " + folder);
    return false;
}

bool CopyFileEx(const std::string& source, const std::string& target) {
    if (!ForceFileFolder(target)) return false;
    return platform::CopyFile(source, target, false);
}

bool MoveFileEx(const std::string& source, const std::string& target) {
    if (!ForceFileFolder(target)) return false;
    return platform::MoveFile(source, target);
}

bool CopyFileTime(const std::string& source, const std::string& target) {
    platform::FileTime lastWrite = 0;
    if (!platform::GetFileTimes(source, nullptr, &lastWrite)) return false;
    return platform::SetLastWriteTime(target, lastWrite);
}

}  // namespace tandrel

namespace tandrel {

bool WriteFileReplacing(const std::string& file, const std::function<bool(platform::AtomicFile&)>& write,
                        ReplaceOptions options, const std::string& permissionsFrom) {
    platform::AtomicFile out(file);
    if (!out.IsOpen() || !write(out)) return false;
    if (options.executable && !platform::SetExecutable(out.TemporaryPath())) return false;
    if (!permissionsFrom.empty() && !platform::CopyPermissions(permissionsFrom, out.TemporaryPath())) return false;
    return out.Commit();
}

std::string ShortcutTarget(const std::string& link) {
    std::string target;
    if (!platform::ReadSymbolicLink(link, target) || target.empty()) return {};
    if (target.front() == platform::PathDelim) return NormalizePath(target);
    const std::string full = ExpandFileName(link);
    return NormalizePath(full.substr(0, full.rfind(platform::PathDelim) + 1) + target);
}

}  // namespace tandrel
