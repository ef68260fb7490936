#pragma once
// The folder statistics: which folder records a depth threshold lists, and
// the export of the listed rows to a CSV file.
#include <string>
#include <vector>

#include "common/types.h"
#include "scan/scan_model.h"

namespace tandrel {

// Positions in DirectoryEntries of every record whose Level is at most the
// threshold (truncated), in list order; "[files]" records are included at
// their folder's level + 1. Takes the model lock.
std::vector<int> FolderStatisticsRows(ScanModel& model, double threshold);

// The export's first line: the ten column descriptions, tab-separated.
std::string FolderStatisticsExportHeader();
// One data line: level x 2 blanks, "+", the full path, then the totals, an
// empty date, the full path again, the file counts and the level, comma
// separated. A path holding a comma or a quote is quoted.
std::string FolderStatisticsExportLine(const TDirectoryEntry& record);
// "treeoutput_yyyymmdd_hhnnss_zzz.csv" of that time.
std::string FolderStatisticsExportName(TDateTime at);

// Writes the header and one line per record in row order to the export file
// named after `at` in folder. Returns the file's full path, or "" when it
// could not be written. The caller holds the model lock.
std::string ExportFolderStatistics(const std::vector<const TDirectoryEntry*>& rows, const std::string& folder,
                                   TDateTime at);

}  // namespace tandrel
