// Mount points from /proc/self/mountinfo, and which of them are drives.
#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/file_system.h"
#include "platform/mounts.h"
#include "platform/text_collate.h"

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

namespace {
// Kernel interfaces and bookkeeping file systems: never a place for files.
constexpr std::array<std::string_view, 22> kPseudoTypes = {
    "proc",       "sysfs",    "cgroup", "cgroup2",    "devpts",    "mqueue",    "debugfs", "tracefs",
    "securityfs", "pstore",   "bpf",    "configfs",   "fusectl",   "hugetlbfs", "autofs",  "binfmt_misc",
    "devtmpfs",   "efivarfs", "nsfs",   "rpc_pipefs", "selinuxfs", "nfsd",
};
constexpr std::array<std::string_view, 3> kMemoryTypes = {"tmpfs", "ramfs", "devtmpfs"};
constexpr std::array<std::string_view, 4> kRuntimeFolders = {"/run", "/dev", "/sys", "/proc"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool IsAtOrBelow(std::string_view path, std::string_view folder) {
    return path.size() >= folder.size() && path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string VolumeName(const MountPoint& mount) {
    const std::string& source = mount.source;
    if (source.rfind("/dev/", 0) == 0) return source.substr(source.rfind('/') + 1);
    if (!source.empty() && source != "none") return source;
    return mount.fileSystem;
}

bool IsFolderOnDisk(const std::string& path) { return DirectoryExists(path); }
}  // namespace

bool IsSystemMount(const MountPoint& mount) {
    const std::string path = NormalizeMountPath(mount.path);
    if (Contains(kPseudoTypes, mount.fileSystem)) return true;
    if (Contains(kMemoryTypes, mount.fileSystem)) {
        for (std::string_view folder : kRuntimeFolders)
            if (IsAtOrBelow(path, folder)) return true;
        return false;
    }
    // A container's root is an overlay; other overlays are its layers.
    if (mount.fileSystem == "overlay") return path != "/";
    return false;
}

bool GetMountSpace(const std::string& path, MountSpace& space) {
    space = MountSpace{};
    struct statvfs vfs;
    if (statvfs(path.c_str(), &vfs) != 0) return false;
    const auto unit = static_cast<std::int64_t>(vfs.f_frsize);
    space.available = static_cast<std::int64_t>(vfs.f_bavail) * unit;
    space.totalFree = static_cast<std::int64_t>(vfs.f_bfree) * unit;
    space.total = static_cast<std::int64_t>(vfs.f_blocks) * unit;
    return true;
}

std::vector<Volume> SelectVolumes(const std::vector<MountPoint>& mounts, bool includeSystem,
                                  bool (*isFolder)(const std::string&)) {
    std::vector<Volume> volumes;
    // Later lines of mountinfo are mounted on top of earlier ones at the same path.
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        Volume volume;
        volume.mount = *it;
        volume.mount.path = NormalizeMountPath(it->path);
        if (volume.mount.path.empty()) continue;
        const bool seen = std::any_of(volumes.begin(), volumes.end(),
                                      [&](const Volume& v) { return v.mount.path == volume.mount.path; });
        if (seen) continue;
        volume.system = IsSystemMount(volume.mount);
        volumes.push_back(std::move(volume));
    }
    std::erase_if(volumes, [&](const Volume& v) {
        return (v.system && !includeSystem) || (isFolder && !isFolder(v.mount.path));
    });
    for (Volume& volume : volumes) volume.name = VolumeName(volume.mount);
    std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
        if (a.system != b.system) return !a.system;
        return a.mount.path < b.mount.path;
    });
    return volumes;
}

std::vector<Volume> ListVolumes(bool includeSystem) {
    return SelectVolumes(ListMountPoints(), includeSystem, &IsFolderOnDisk);
}

int VolumeHolding(const std::vector<Volume>& volumes, std::string_view path) {
    if (path.empty()) return -1;
    std::string withDelim(path);
    if (withDelim.back() != '/') withDelim += '/';
    int best = -1;
    std::size_t bestScore = 0;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        std::string mount = volumes[i].mount.path;
        if (mount.empty()) continue;
        if (mount.back() != '/') mount += '/';
        if (withDelim.size() < mount.size()) continue;
        const std::string_view head = std::string_view(withDelim).substr(0, mount.size());
        if (!SameTextIgnoreCase(head, mount)) continue;
        // Longer mount paths win; between spellings of one length the exact case does.
        const std::size_t score = mount.size() * 2 + (head == mount ? 1 : 0);
        if (best < 0 || score > bestScore) {
            best = static_cast<int>(i);
            bestScore = score;
        }
    }
    return best;
}

}  // namespace tandrel::platform
