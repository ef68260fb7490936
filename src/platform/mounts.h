#pragma once
// Mount points: the drive roots of this platform.
#include <string>
#include <string_view>
#include <vector>

namespace tandrel::platform {

struct MountPoint {
    std::string path;        // unescaped mount path, "/" for the root
    std::string fileSystem;  // "ext4", "tmpfs", ...
    std::string source;      // device or source name
};

// The mount points of this process, from /proc/self/mountinfo.
std::vector<MountPoint> ListMountPoints();
// Parses mountinfo text (octal escapes such as "\040" undone).
std::vector<MountPoint> ParseMountInfo(std::string_view text);
// True when the folder (without trailing "/", or "/") is a mount point.
bool IsMountPoint(const std::string& path);

}  // namespace tandrel::platform
