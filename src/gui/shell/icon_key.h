#pragma once
// Which icon a path shows. Icons are shared by kind: every file with the
// same extension shows one icon, every folder the "folder" icon, and only
// executables and links that lead nowhere have an icon of their own. No
// toolkit types here, so the rules are tested on their own.
#include <string>
#include <string_view>

namespace tandrel {

// The key a paint handler can work out without touching the disk: the
// lower-cased extension with its point ("" without one); a text without
// "/" is its own key.
std::string PaintIconKey(std::string_view path);

// The key after looking at the file system: a symbolic link stands for its
// target; a folder (or a link to one) is "folder"; an executable file and a
// link whose target is missing are keyed by their path, as they are;
// anything else by its lower-cased extension. Never reads file contents.
std::string ForcedIconKey(const std::string& path);

// True when a key is a path of its own rather than a kind.
inline bool IconKeyIsPath(std::string_view key) { return key.find('/') != std::string_view::npos; }

inline constexpr std::string_view kFolderIconKey = "folder";

}  // namespace tandrel
