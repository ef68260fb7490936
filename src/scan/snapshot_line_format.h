#pragma once
// The lines of the "|files.v2|" section:
//   folder: "|" path-with-trailing-"/" ["|" created "|" modified "|" attributes]
//   file:   name "|" size "|" created "|" modified "|" attributes
// Times are local "yyyy-mm-dd hh:nn:ss.zzz". Names and paths are escaped so
// that "|" and line breaks in them survive (see EscapeLineName).
#include <cstdint>
#include <string>
#include <string_view>

#include "common/types.h"
#include "platform/file_system.h"

namespace tandrel {

inline constexpr std::string_view kFilesSectionMarker = "|files.v2|";

// Local date-time of a file time: 0 when it cannot be converted or lies
// outside the years 1800..3000. Fast: runs twice per scanned entry.
TDateTime ScanTimeToDateTime(platform::FileTime time);

// Appends the folder line; without a find record the root form "|" + path.
void AppendFolderLine(std::string& out, std::string_view folderPathWithDelim, const platform::FindRecord* find);
// Appends the file line of a find record. lastWrite is the record's
// last-write time already converted (the caller keeps it for the node).
void AppendFileLine(std::string& out, const platform::FindRecord& file, TDateTime lastWrite);

struct SnapshotFileLine {
    std::string name;  // unescaped
    std::int64_t size = 0;
    TDateTime created = 0;
    TDateTime lastWrite = 0;
    std::uint32_t attributes = 0;
};

// A line is a folder line when it starts with "|".
inline bool IsFolderLine(std::string_view line) { return !line.empty() && line[0] == '|'; }
// Reads a file line, fields trimmed. False (and nothing usable) when it lacks
// a name or its size is not a number; missing or unreadable times read as 0.
bool ParseFileLine(std::string_view line, SnapshotFileLine& out);
// Reads a folder line's path (field 1, trimmed, unescaped). False when empty.
bool ParseFolderLine(std::string_view line, std::string& path);

}  // namespace tandrel
