#pragma once
// The snapshot container: a readable UTF-8 header, the separator bytes
// 00 00 01, then the body as one zlib stream. Readers also take the older
// forms: the section as plain text, or a whole file that is one zlib stream.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"
#include "scan/scan_model.h"
#include "scan/snapshot_lines.h"

namespace tandrel {

// Writes mark, "[extended volume]", the header text (its lines ended by
// CR LF), an empty line, 00 00 01 and the compressed body. The file is
// written under a temporary name beside it and renamed into place, so a
// failed write never leaves a half file. False on failure.
bool SaveExtendedVolume(const std::string& file, std::string_view headerText, std::string_view compressedBody);
// The same with a body that may lie partly on disk.
bool SaveExtendedVolume(const std::string& file, std::string_view headerText, const CompressedBody& body);
// The same with the lines as body (compressed here).
bool SaveExtendedVolume(const TStringList& lines, const std::string& file, std::string_view headerText);

// File offset of the separator's 01 byte; 0 when the file is not a container
// or has no separator (the latter is reported).
std::int64_t FindVolumeSeparator(const std::string& file);

// Points the reader at the lines of a container's body, of a plain-text
// snapshot (any encoding the text loader knows) or of a file that is one
// zlib stream. False, with the reason in error (without the file name), when
// the file cannot be read or is none of these. A body damaged further on
// ends the reader's lines with Failed().
bool LoadExtendedVolume(const std::string& file, SnapshotLineReader& reader, std::string* error);
// The lines of the body; the list is empty (and the reason shown) on failure.
void LoadExtendedVolume(TStringList& list, const std::string& file);

// The header text without its "[extended volume]" line, every line ended by
// CR LF; "" when the file is not a container.
std::string ReadExtendedVolumeHeader(const std::string& file);

// The header lines: key lines "|key|" each followed by one value line.
TStringList BuildSnapshotHeader(const std::string& rootPath, const std::string& createdText,
                                const std::string& description, const TDirectoryStats& counts);
// Replaces the value lines of a key ("|key|" or bare), or appends the key and
// its values.
void SetHeaderValue(std::string_view key, TStringList& header, const TStringList& values);

}  // namespace tandrel
