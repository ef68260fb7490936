#pragma once
// Mount points: the drive roots of this platform.
#include <cstdint>
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

// Kernel and runtime file systems a user does not pick as a drive: proc,
// sysfs, cgroups, devpts and the like, memory file systems of runtime
// folders (/run, /dev, /sys, /proc and below) and overlays other than "/".
bool IsSystemMount(const MountPoint& mount);

// Space of the file system holding a path, in bytes; -1 when unknown.
struct MountSpace {
    std::int64_t available = -1;  // free to this user (f_bavail)
    std::int64_t totalFree = -1;  // free in all (f_bfree), as GetDiskFreeBytes
    std::int64_t total = -1;      // size (f_blocks)
};
// False (all -1) when statvfs fails.
bool GetMountSpace(const std::string& path, MountSpace& space);

struct Volume {
    MountPoint mount;
    bool system = false;
    // "sda1", "server:/export", "tmpfs": what the drive box shows beside the path.
    std::string name;
};
// The folders that are mount points, one per path (the last mount of a path
// hides the ones below it): real file systems first, then, with
// includeSystem, the system mounts; each group sorted by path. Mounts of
// single files (bind-mounted /etc/hosts) are no drives and are left out.
std::vector<Volume> ListVolumes(bool includeSystem);
// The same over a given mount list, without looking at the disk; isFolder
// tells which mount paths are folders.
std::vector<Volume> SelectVolumes(const std::vector<MountPoint>& mounts, bool includeSystem,
                                  bool (*isFolder)(const std::string&));
// The volume whose path holds the given path (longest matching mount path,
// compared ignoring case, whole components only); -1 for none.
int VolumeHolding(const std::vector<Volume>& volumes, std::string_view path);

}  // namespace tandrel::platform
