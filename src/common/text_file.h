#pragma once
// Text files as lists of lines: loading with encoding detection, saving as
// UTF-8 with byte-order mark, appending, the retrying variants, and the test
// that tells text files from binary ones.
#include <string>
#include <string_view>

#include "common/types.h"

namespace tandrel {

// Lines of a text: a line ends at CR LF, CR or LF; a break at the very end
// adds no empty line; everything from the first NUL character on is ignored.
TStringList TextToLines(std::string_view text);
// The text form of a list: every line followed by CR LF, the last one too.
std::string LinesToText(const TStringList& lines);

// One plain text load (encoding by byte-order mark, see DecodeTextBytes).
// False, with the list cleared, when the file cannot be read.
bool LoadTextFile(TStringList& lines, const std::string& file);
// Loads an existing file with up to 11 attempts, 200 ms apart; a missing
// file, and a load that keeps failing, leave the list empty. Never reports.
void LoadTextFileRetry(TStringList& lines, const std::string& file);
// The file's lines (none when it does not exist); up to 11 attempts, 200 ms
// apart; then TandrelError "ReadFromFile_s_5x failed: " + file.
TStringList ReadFromFile(const std::string& file);
// The whole file as plain text, trimmed at both ends; up to 11 attempts,
// 1000 ms apart; then TandrelError "ReadFromFile_s_5x failed: " + file.
std::string ReadTextFile(const std::string& file);

// The file's first bytes are FF FE, resp. EF BB BF; false when it cannot be read.
bool HasUtf16LeBom(const std::string& file);
bool HasUtf8Bom(const std::string& file);
// The binary test on the first (at most 1000) bytes of a file.
bool IsBinaryData(std::string_view head);
// IsBinaryData on the file's first 1000 bytes; an unreadable file counts as text.
bool IsBinaryFile(const std::string& file);

// UTF-8 with byte-order mark, CR LF after every line; an empty last line is
// left out. False when the file could not be written completely.
bool SaveTextFile(const TStringList& lines, const std::string& file);
// The same bytes through an AtomicFile: a kill or a failed write leaves the
// previous file whole. The folder must exist.
bool ReplaceTextFile(const TStringList& lines, const std::string& file);
// SaveTextFile with up to 11 attempts, 200 ms apart; never reports.
void SaveTextFileRetry(const TStringList& lines, const std::string& file);
// Replaces the file (creating its folders) with the lines of text, as SaveTextFile does.
bool WriteTextFile(const std::string& file, std::string_view text);
// Replaces the file (creating its folders) with exactly these bytes.
bool WriteRawFile(const std::string& file, std::string_view bytes);
// The list's text form in Windows-1252 ("?" for what it cannot hold), via WriteRawFile.
bool SaveAnsiTextFile(const TStringList& lines, const std::string& file);

// Appends the text's UTF-8 bytes; a missing file is first created holding
// only the UTF-8 byte-order mark. True on success.
bool AppendToFile(const std::string& file, std::string_view text);
// AppendToFile with up to 11 attempts, 1000 ms apart; then TandrelError
// "AppendToFile_5x failed: " + file.
void AppendToFile_5x(const std::string& file, std::string_view text);
// AppendToFile of text + CR LF; never throws, returns whether it worked.
bool AppendLineToFile(const std::string& file, std::string_view text);
// AppendLineToFile with up to 11 attempts, 1000 ms apart; then TandrelError
// "AppendToFileLn_5x failed: " + file.
void AppendToFileLn_5x(const std::string& file, std::string_view text);
// Appends text + CR LF in Windows-1252; a missing file is created empty.
bool AppendAnsiLine(const std::string& file, std::string_view text);
// Appends "yyyy-mm-dd hh:nn:ss: " + text as a line, serialised process-wide.
// A bare file name goes into the application settings folder. Throws as
// AppendToFileLn_5x does.
void AppendLogLine(const std::string& file, std::string_view text);

}  // namespace tandrel
