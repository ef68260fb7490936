#include "common/paths.h"

#include <vector>

#include "platform/current_folder.h"
#include "platform/file_system.h"

namespace tandrel {

using platform::PathDelim;

namespace {

// Offset where the file name starts (just after the last separator).
std::size_t NameStart(std::string_view path) {
    std::size_t slash = path.rfind(PathDelim);
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Offset of the extension's dot, or npos.
std::size_t ExtStart(std::string_view path) {
    std::size_t start = NameStart(path);
    std::size_t dot = path.rfind('.');
    return (dot == std::string_view::npos || dot < start) ? std::string_view::npos : dot;
}

}  // namespace

std::string AddTrailingBackslash(std::string_view path) {
    std::string result(path);
    if (!result.empty() && result.back() != PathDelim) result += PathDelim;
    return result;
}

std::string RemoveTrailingBackslash(std::string_view path) {
    if (path.size() > 1 && path.back() == PathDelim) path.remove_suffix(1);
    return std::string(path);
}

std::string PathJoin(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    return AddTrailingBackslash(folder) + std::string(name);
}

std::string ParentFolder(std::string_view path) {
    std::string trimmed = RemoveTrailingBackslash(path);
    std::size_t slash = trimmed.rfind(PathDelim);
    if (slash == std::string::npos || trimmed.size() == 1) return trimmed;
    return trimmed.substr(0, slash + 1);
}

std::string ExtractFileName(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string ExtractFilePath(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string ExtractFileExt(std::string_view path) {
    std::size_t dot = ExtStart(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::size_t dot = ExtStart(path);
    std::string_view base = dot == std::string_view::npos ? path : path.substr(0, dot);
    return std::string(base) + std::string(ext);
}

std::string NormalizePath(std::string_view path) {
    if (path.empty()) return {};
    const bool absolute = path.front() == PathDelim;
    const bool trailing =
        path.back() == PathDelim || path.ends_with("/.") || path.ends_with("/..") || path == "." || path == "..";
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(PathDelim, start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = absolute ? std::string(1, PathDelim) : std::string();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) result += PathDelim;
        result += parts[i];
    }
    if (result.empty()) return ".";
    if (trailing) result = AddTrailingBackslash(result);
    return result;
}

std::string ExpandFileName(std::string_view path) {
    if (!path.empty() && path.front() == PathDelim) return NormalizePath(path);
    return NormalizePath(PathJoin(platform::CurrentFolder(), path));
}

std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return std::string(text.substr(1, text.size() - 2));
    return std::string(text);
}

const std::string& ExeFolder() {
    static const std::string folder = AddTrailingBackslash(ExtractFilePath(platform::ExecutablePath()));
    return folder;
}

std::string LongPathName(std::string_view path) { return std::string(path); }

std::int64_t FileSizeOf(const std::string& file) {
    std::int64_t size = platform::GetFileSize(file);
    return size < 0 ? 0 : size;
}

}  // namespace tandrel
