// Mount points from /proc/self/mountinfo.
#include <vector>

#include "platform/file_system.h"
#include "platform/mounts.h"

namespace tandrel::platform {

namespace {
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// The kernel writes space, tab, newline and backslash as "\ooo".
std::string UnescapeOctal(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && IsOctalDigit(text[i + 1]) && IsOctalDigit(text[i + 2]) &&
            IsOctalDigit(text[i + 3])) {
            int value = (text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0');
            if (value <= 255) {
                result.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        result.push_back(text[i]);
    }
    return result;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ') ++pos;
        if (pos >= line.size()) break;
        std::size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

// "/a//b/" -> "/a/b"; the root stays "/".
std::string NormalizeMountPath(std::string_view path) {
    std::string result;
    for (char c : path) {
        if (c == '/' && !result.empty() && result.back() == '/') continue;
        result.push_back(c);
    }
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}
}  // namespace

std::vector<MountPoint> ParseMountInfo(std::string_view text) {
    std::vector<MountPoint> mounts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::vector<std::string_view> fields = SplitFields(text.substr(start, end - start));
        start = end + 1;
        // Optional fields (shared:N, master:N) sit between field 6 and "-".
        std::size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-") ++separator;
        // A line without mount point or file system type is skipped.
        if (separator + 1 >= fields.size()) continue;
        MountPoint mount;
        mount.path = UnescapeOctal(fields[4]);
        mount.fileSystem = UnescapeOctal(fields[separator + 1]);
        if (separator + 2 < fields.size()) mount.source = UnescapeOctal(fields[separator + 2]);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::vector<MountPoint> ListMountPoints() {
    std::string text;
    if (!ReadFileBytes("/proc/self/mountinfo", text)) return {};
    return ParseMountInfo(text);
}

bool IsMountPoint(const std::string& path) {
    if (path.empty()) return false;
    std::string wanted = NormalizeMountPath(path);
    for (const MountPoint& mount : ListMountPoints()) {
        if (NormalizeMountPath(mount.path) == wanted) return true;
    }
    return false;
}

}  // namespace tandrel::platform
