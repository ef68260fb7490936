#pragma once
// zlib streams (RFC 1950, window bits 15) and the text files stored as one.
// Snapshot bodies of hundreds of MB pass through here, so both directions
// work on whole buffers in large steps.
#include <string>
#include <string_view>

#include "common/types.h"

namespace tandrel {

// One complete zlib stream of the bytes; level 1 trades size for speed.
std::string CompressZlib(std::string_view bytes, int level = 1);
// Inflates one zlib stream into out (replaced). False, with out cleared, on a
// truncated or corrupt stream. Bytes after the end of the stream are ignored.
bool DecompressZlib(std::string_view compressed, std::string& out);

// The list's UTF-8 text (with byte-order mark, CR LF after every line) as a
// zlib stream in a new file. False when the file could not be written.
bool SaveCompressedText(const TStringList& lines, const std::string& file);
// A file that is one complete zlib stream is inflated and read as UTF-8; a
// text file (a UTF-16 LE mark, or IsBinaryData false) is loaded as plain
// text. False, with the list cleared, when the file cannot be read or is
// binary but does not inflate.
bool LoadPlainOrCompressedText(TStringList& lines, const std::string& file);

}  // namespace tandrel
