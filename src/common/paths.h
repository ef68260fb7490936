#pragma once
// Building and taking apart paths. Purely textual except where noted: no
// routine here follows symbolic links. The separator is platform::PathDelim;
// "/" is the root of roots and the one path that may end in the separator.
#include <cstdint>
#include <string>
#include <string_view>

namespace tandrel {

// Appends "/" unless the path is empty or already ends with it.
std::string AddTrailingBackslash(std::string_view path);
// Removes one final "/"; the root "/" stays itself.
std::string RemoveTrailingBackslash(std::string_view path);
// AddTrailingBackslash(folder) + name; an empty folder yields the name.
std::string PathJoin(std::string_view folder, std::string_view name);
// The enclosing folder with trailing "/": "/a/b" and "/a/b/" give "/a/", "/a"
// gives "/", "/" stays "/". A path without any separator is returned unchanged.
std::string ParentFolder(std::string_view path);

// The part after the last "/".
std::string ExtractFileName(std::string_view path);
// Everything up to and including the last "/" ("" when there is none).
std::string ExtractFilePath(std::string_view path);
// From the last "." of the file name on, dot included; "" without a dot.
std::string ExtractFileExt(std::string_view path);
// Replaces the extension (or appends when there is none); ext includes its dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// Collapses repeated "/", resolves "." and ".." by text only (".." above the
// root stays at the root; leading ".." of a relative path are kept). A final
// "/" is kept. Never looks at the file system.
std::string NormalizePath(std::string_view path);
// A relative path made absolute against the current folder, then normalised.
std::string ExpandFileName(std::string_view path);

// Removes one pair of double quotes when the text both starts and ends with one.
std::string Unquote(std::string_view text);

// The executable's folder with trailing "/"; computed once.
const std::string& ExeFolder();
// There are no short names here: the path as given.
std::string LongPathName(std::string_view path);
// The file's size (links followed); 0 when it is missing or unreadable.
std::int64_t FileSizeOf(const std::string& file);

}  // namespace tandrel
