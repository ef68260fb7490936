#include "compare/duplicate_finder.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

#include "common/app_folders.h"
#include "common/compare.h"
#include "common/date_time.h"
#include "common/format_numbers.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "common/text_filter.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

bool KeptInBaseName(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return std::string_view(" '+,-.[]^_~").find(c) != std::string_view::npos;
}

std::string LastFolderName(const std::string& path) {
    std::string folder = path;
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    std::size_t slash = folder.rfind('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

std::int64_t SizeOnDisk(const std::string& path) {
    std::int64_t size = platform::GetFileSize(path);
    return size > 0 ? size : 0;
}

bool OnDisk(const TFileEntryDuplicates& entry) {
    return !entry.FileName.empty() && platform::FileExists(entry.FullFileName());
}

// "name|folder/|size|date" with the fields trimmed; false when the line has
// too few fields, a size that is not a number of bytes or a bad group.
bool ParseListLine(const std::string& line, TFileEntryDuplicates& entry, bool withGroup) {
    std::vector<std::string> fields = SplitString(line, "|", true);
    if (fields.size() < (withGroup ? 5u : 4u)) return false;
    entry.FileName = fields[0];
    entry.Path = fields[1];
    // A negative size, or a group number beyond int, is a damaged line.
    if (!TryStrToInt64(fields[2], entry.Size) || entry.Size < 0) return false;
    std::string date = fields[3];
    if (date.size() > 10 && date[10] == 'T') date[10] = ' ';
    if (!TryParseIsoDateTime(date, entry.DateM)) entry.DateM = 0;
    if (withGroup) {
        std::int64_t group = 0;
        if (!TryStrToInt64(fields[4], group) || group < 0 || group > std::numeric_limits<int>::max()) return false;
        entry.DuplicateGroupId = static_cast<int>(group);
        entry.Checksum = fields[4];
    }
    return true;
}

void AppendListLine(std::string& out, const TFileEntryDuplicates& entry) {
    out.append(entry.FileName).append("|").append(entry.Path).append("|").append(std::to_string(entry.Size));
    out += '|';
    AppendDateTimeMs(out, entry.DateM);
}

// The text file format of the saved lists (UTF-8 with byte-order mark, CR LF
// after each line), written a block at a time: a list of a million files
// never exists in memory a second time as text. The file is replaced in one
// step at Close, so a search killed while it saves keeps the previous list.
class ListFileWriter {
public:
    explicit ListFileWriter(const std::string& file) : file_(Prepared(file)) { buffer_ = "\xEF\xBB\xBF"; }
    std::string& Line() { return buffer_; }
    void EndLine() {
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushAt) Flush();
    }
    bool Close() {
        Flush();
        return ok_ && file_.Commit();
    }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    static const std::string& Prepared(const std::string& file) {
        const std::size_t slash = file.rfind('/');
        if (slash != std::string::npos && slash > 0) platform::ForceFolders(file.substr(0, slash));
        return file;
    }
    void Flush() {
        if (ok_ && !buffer_.empty()) ok_ = file_.Write(buffer_);
        buffer_.clear();
    }
    platform::AtomicFile file_;
    std::string buffer_;
    bool ok_ = true;
};

}  // namespace

std::string DuplicatesBaseName(std::string_view folders) {
    std::string name = "tandrel_cache_";
    for (char c : folders) {
        char kept = KeptInBaseName(c) ? c : '_';
        if (kept == '_' && !name.empty() && name.back() == '_') continue;
        name += kept;
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

std::string DuplicatesFileListFile(std::string_view folders) {
    return AppSettingsFile(DuplicatesBaseName(folders) + ".filelist");
}

std::string DuplicatesResultsFile(std::string_view folders) {
    return AppSettingsFile(DuplicatesBaseName(folders) + ".results");
}

std::string DeletedFilesLogFile() { return AppSettingsFile("Tandrel_DeletedFiles.log"); }

void LogDeletedFile(const std::string& path) {
    AppendLineToFile(DeletedFilesLogFile(), FormatDateTimeSec(Now()) + ": deleting " + path);
}

std::string DuplicateGroupKey(const TFileEntryDuplicates& first) {
    std::string size = FormatCount(static_cast<double>(first.Size));
    if (size.size() < 16) size.insert(0, 16 - size.size(), ' ');
    return size + " " + first.FullFileName();
}

int CompareDuplicates(const TFileEntryDuplicates& a, const TFileEntryDuplicates& b) {
    if (a.Size != b.Size) return a.Size > b.Size ? -1 : 1;
    if (int c = ComparePaths(a.Path, b.Path); c != 0) return c;
    return CompareTextLocale(a.FileName, b.FileName);
}

std::string DuplicatesSummaryText(int files, std::int64_t totalSize, int groups, std::int64_t uniqueSize) {
    return "Files: " + FormatCount(files) + " ( " + FormatBytes(totalSize) + " ) " +
           ", Unique files: " + FormatCount(groups) + " ( " + FormatBytes(uniqueSize) + " ) ";
}

std::int64_t TDuplicateFinder::EffectiveMinSize(std::int64_t minSize) {
    return std::max<std::int64_t>(minSize, kDuplicateMinSize);
}

void TDuplicateFinder::Clear() {
    Entries.clear();
    duplicateFilesLVItems.Clear();
    Counters = {};
}

void TDuplicateFinder::TakeScanResult(TFileTypeList&& files) {
    Clear();
    Entries.reserve(files.size());
    // Each listed file is released as its entry is made, so the two lists
    // are never both whole.
    for (auto& file : files) {
        auto entry = std::make_unique<TFileEntryDuplicates>();
        entry->FileName = std::move(file->FileName);
        entry->Path = std::move(file->Path);
        entry->Size = file->Size;
        entry->DateM = file->DateM;
        file.reset();
        Entries.push_back(std::move(entry));
    }
    files.clear();
    files.shrink_to_fit();
    FillIndexList();
}

void TDuplicateFinder::TakeScanResult(const TFileTypeList& files) {
    TFileTypeList copy;
    copy.reserve(files.size());
    for (const auto& file : files) copy.push_back(std::make_unique<TFileType>(*file));
    TakeScanResult(std::move(copy));
}

void TDuplicateFinder::FillIndexList() {
    duplicateFilesLVItems.Clear();
    duplicateFilesLVItems.Reserve(static_cast<int>(Entries.size()));
    for (std::size_t i = 0; i < Entries.size(); ++i) duplicateFilesLVItems.Add(static_cast<int>(i));
    duplicateFilesLVItems.Sort([this](int a, int b) { return CompareDuplicates(Entry(a), Entry(b)); });
}

bool TDuplicateFinder::SaveFileList(std::string_view folders) const {
    ListFileWriter out(DuplicatesFileListFile(folders));
    for (const auto& entry : Entries) {
        AppendListLine(out.Line(), *entry);
        out.EndLine();
    }
    return out.Close();
}

bool TDuplicateFinder::LoadFileList(std::string_view folders) {
    TStringList lines;
    if (!LoadTextFile(lines, DuplicatesFileListFile(folders))) return false;
    Clear();
    for (const std::string& line : lines) {
        auto entry = std::make_unique<TFileEntryDuplicates>();
        if (ParseListLine(line, *entry, false)) Entries.push_back(std::move(entry));
    }
    FillIndexList();
    return true;
}

bool TDuplicateFinder::ImportList(const std::string& file) {
    TStringList lines;
    if (!LoadTextFile(lines, file)) return false;
    Clear();
    for (const std::string& line : lines) {
        const std::string path = Trim(line);
        if (path.empty()) continue;
        const std::int64_t size = SizeOnDisk(path);
        if (size < kDuplicateMinSize) continue;
        auto entry = std::make_unique<TFileEntryDuplicates>();
        std::size_t slash = path.rfind('/');
        entry->Path = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        entry->FileName = slash == std::string::npos ? path : path.substr(slash + 1);
        entry->Size = size;
        Entries.push_back(std::move(entry));
    }
    FillIndexList();
    return true;
}

bool TDuplicateFinder::SaveResults(std::string_view folders) const {
    ListFileWriter out(DuplicatesResultsFile(folders));
    for (int position : duplicateFilesLVItems) {
        const TFileEntryDuplicates& entry = Entry(position);
        if (entry.DuplicateGroupId == 0) continue;
        AppendListLine(out.Line(), entry);
        out.Line().append("|").append(std::to_string(entry.DuplicateGroupId));
        out.EndLine();
    }
    return out.Close();
}

bool TDuplicateFinder::LoadResults(std::string_view folders) {
    TStringList lines;
    if (!LoadTextFile(lines, DuplicatesResultsFile(folders))) return false;
    Clear();
    for (const std::string& line : lines) {
        if (line.empty()) break;
        auto entry = std::make_unique<TFileEntryDuplicates>();
        if (ParseListLine(line, *entry, true)) Entries.push_back(std::move(entry));
    }
    FillIndexList();
    return true;
}

int TDuplicateFinder::CleanUpDeleted(const std::function<void(const std::string&)>& progress) {
    std::vector<int> kept;
    const int n = duplicateFilesLVItems.Count();
    int k = 0, removed = 0;
    for (int position : duplicateFilesLVItems) {
        const TFileEntryDuplicates& entry = Entry(position);
        ++k;
        if (entry.DuplicateGroupId != 0) {
            if (progress)
                progress("Checking file " + FormatCount(k) + " of " + FormatCount(n) + ": " + entry.FullFileName());
            if (!OnDisk(entry)) {
                ++removed;
                continue;
            }
        }
        kept.push_back(position);
    }
    duplicateFilesLVItems.Clear();
    for (int position : kept) duplicateFilesLVItems.Add(position);
    return removed;
}

bool TDuplicateFinder::MarkDeleted(const std::string& fullPath) {
    for (const auto& entry : Entries) {
        if (entry->FileName.empty() || !platform::SameTextIgnoreCase(entry->FullFileName(), fullPath)) continue;
        entry->FileName.clear();
        entry->Path.clear();
        entry->Checksum.clear();
        entry->DuplicateGroupId = 0;
        return true;
    }
    return false;
}

TDuplicateRows TDuplicateFinder::GroupFilter(const TGroupFilterOptions& options) {
    TDuplicateRows result;
    for (const auto& entry : Entries) entry->Processed = false;
    const TextFilter words = PrepareTextFilter(SplitList(options.filter, " "));
    const std::vector<int>& index = duplicateFilesLVItems.Items();
    for (std::size_t i = 0; i < index.size(); ++i) {
        TFileEntryDuplicates& a = Entry(index[i]);
        if (a.Processed || a.Size == 0 || a.DuplicateGroupId == 0) continue;
        if (!MatchesTextFilter(words, a.FullFileName())) continue;
        const std::size_t groupStart = result.rows.size();
        result.rows.push_back(kGroupSeparatorRow);
        result.rows.push_back(index[i]);
        const std::int64_t firstSize = SizeOnDisk(a.FullFileName());
        std::int64_t groupTotal = firstSize;
        int members = 1;
        const std::string parent = options.matchParentFolderName ? LastFolderName(a.Path) : std::string();
        for (std::size_t j = i + 1; j < index.size(); ++j) {
            TFileEntryDuplicates& b = Entry(index[j]);
            if (b.Size != a.Size) break;
            if (b.DuplicateGroupId == 0) continue;
            if (options.matchFilename && !platform::SameTextIgnoreCase(a.FileName, b.FileName)) continue;
            if (options.matchParentFolderName && !platform::SameTextIgnoreCase(parent, LastFolderName(b.Path)))
                continue;
            if (b.Processed || b.Checksum != a.Checksum || !MatchesTextFilter(words, b.FullFileName())) continue;
            a.Processed = true;
            b.Processed = true;
            result.rows.push_back(index[j]);
            groupTotal += SizeOnDisk(b.FullFileName());
            ++members;
        }
        if (members < 2) {
            result.rows.resize(groupStart);
            continue;
        }
        result.files += members;
        result.groups += 1;
        result.totalSize += groupTotal;
        result.uniqueSize += firstSize;
    }
    return result;
}

std::vector<int> TDuplicateFinder::GroupMembers(const std::string& key) const {
    std::vector<int> members;
    if (key.empty()) return members;
    for (std::size_t i = 0; i < Entries.size(); ++i)
        if (Entries[i]->Checksum == key) members.push_back(static_cast<int>(i));
    return members;
}

int TDuplicateFinder::ExistingCopies(const std::string& key) const {
    int count = 0;
    for (int position : GroupMembers(key))
        if (OnDisk(Entry(position))) ++count;
    return count;
}

int TDuplicateFinder::CopiesUnder(const std::string& key, const std::string& text) const {
    const std::string lowered = platform::LowerCase(text);
    int count = 0;
    for (int position : GroupMembers(key)) {
        const TFileEntryDuplicates& entry = Entry(position);
        if (OnDisk(entry) && platform::LowerCase(entry.FullFileName()).find(lowered) != std::string::npos) ++count;
    }
    return count;
}

std::vector<FileGroupStats> TDuplicateFinder::FolderPairStatistics(const std::vector<int>& rows) {
    std::vector<FileGroupStats> stats;
    auto countFolder = [this](const std::string& folder, std::int64_t& size, int& files) {
        platform::FolderEnumerator listing(folder);
        platform::FindRecord item;
        while (listing.Next(item)) {
            if (item.IsDirectory()) continue;
            if (_tempMinSize > 0 && item.size < _tempMinSize) continue;
            if (_tempMaxSize > 0 && item.size > _tempMaxSize) continue;
            size += item.size;
            ++files;
        }
    };
    auto addGroup = [&](const std::vector<int>& members) {
        for (std::size_t p = 0; p < members.size(); ++p) {
            for (std::size_t q = p + 1; q < members.size(); ++q) {
                const TFileEntryDuplicates& a = Entry(members[p]);
                const TFileEntryDuplicates& b = Entry(members[q]);
                std::string path1 = a.Path, path2 = b.Path;
                if (platform::CollateCompare(path1, path2) > 0) std::swap(path1, path2);
                auto found = std::find_if(stats.begin(), stats.end(), [&](const FileGroupStats& s) {
                    return s.Path1 == path1 && s.Path2 == path2;
                });
                if (found != stats.end()) {
                    found->IdentSize += a.Size;
                    found->IdentFiles += 1;
                    continue;
                }
                FileGroupStats s;
                s.Path1 = path1;
                s.Path2 = path2;
                countFolder(path1, s.Size1, s.Files1);
                countFolder(path2, s.Size2, s.Files2);
                s.IdentFiles = 1;
                s.IdentSize = a.Size;
                stats.push_back(std::move(s));
            }
        }
    };
    std::vector<int> members;
    for (int row : rows) {
        if (row == kGroupSeparatorRow) {
            addGroup(members);
            members.clear();
        } else {
            members.push_back(row);
        }
    }
    addGroup(members);
    for (FileGroupStats& s : stats) {
        if (s.Size1 != 0) s.S1 = static_cast<float>(100.0 * static_cast<double>(s.IdentSize) / s.Size1);
        if (s.Size2 != 0) s.S2 = static_cast<float>(100.0 * static_cast<double>(s.IdentSize) / s.Size2);
        if (s.Files1 != 0) s.F1 = static_cast<float>(100.0 * s.IdentFiles / s.Files1);
        if (s.Files2 != 0) s.F2 = static_cast<float>(100.0 * s.IdentFiles / s.Files2);
    }
    return stats;
}

}  // namespace tandrel
