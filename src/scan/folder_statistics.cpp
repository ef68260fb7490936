#include "scan/folder_statistics.h"

#include <cmath>
#include <mutex>

#include "common/date_time.h"
#include "common/paths.h"
#include "common/text_file.h"

namespace tandrel {

std::vector<int> FolderStatisticsRows(ScanModel& model, double threshold) {
    std::vector<int> rows;
    if (!std::isfinite(threshold)) return rows;
    const double level = std::trunc(threshold);
    std::lock_guard<std::recursive_mutex> lock(model.csTreemap);
    const int count = model.DirectoryEntries.Count();
    for (int i = 0; i < count; ++i)
        if (model.DirectoryEntries[i]->Level <= level) rows.push_back(i);
    return rows;
}

namespace {

// A field that would split the line, or open a quote, is quoted with its
// quotes doubled; every other field stays as it is.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace

std::string FolderStatisticsExportHeader() {
    // "level" last, where the data lines carry it: the first nine fields keep
    // the order readers of the older nine-field lines expect.
    return "path:String:4000\ttotal_size: integer\troot_size: integer\ttotal_dirs: integer\troot_dirs: integer\t"
           "Date:Date\tfull_path:String:4000\ttotal_files: integer\troot_files: integer\tlevel: integer";
}

std::string FolderStatisticsExportLine(const TDirectoryEntry& record) {
    const std::string path = record.CalcPath();
    std::string indented(static_cast<std::size_t>(std::max(record.Level, 0)) * 2, ' ');
    indented += '+';
    indented += path;
    std::string line = CsvField(indented);
    for (std::int64_t value : {record.TotalSize, record.RootSize, static_cast<std::int64_t>(record.TotalDirs),
                               static_cast<std::int64_t>(record.RootDirs)}) {
        line += ',';
        line += std::to_string(value);
    }
    line += ",,";  // the date, always empty
    line += CsvField(path);
    for (int value : {record.TotalFiles, record.RootFiles, record.Level}) {
        line += ',';
        line += std::to_string(value);
    }
    return line;
}

std::string FolderStatisticsExportName(TDateTime at) { return AddTimestampToFileName("treeoutput.csv", at); }

std::string ExportFolderStatistics(const std::vector<const TDirectoryEntry*>& rows, const std::string& folder,
                                   TDateTime at) {
    TStringList lines;
    lines.reserve(rows.size() + 1);
    lines.push_back(FolderStatisticsExportHeader());
    for (const TDirectoryEntry* record : rows)
        if (record) lines.push_back(FolderStatisticsExportLine(*record));
    const std::string file = PathJoin(folder, FolderStatisticsExportName(at));
    return SaveTextFile(lines, file) ? file : std::string();
}

}  // namespace tandrel
