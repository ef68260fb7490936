#include "platform/mounts.h"

#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <algorithm>
#include <set>

namespace tandrel::platform {
namespace {

TEST(ParseMountInfo, ReadsPathTypeAndSourceAndUndoesEscapes) {
    const char* text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "35 22 8:2 / /media/My\\040Disk\\011x\\134y rw master:3 shared:4 - vfat /dev/sdb\\0401 rw\n"
        "36 22 0:5 / /run rw - tmpfs tmpfs rw\n"
        "garbage line\n"
        "37 22 0:6 / /no/separator rw\n";
    auto mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].path, "/");
    EXPECT_EQ(mounts[0].fileSystem, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/sda1");
    EXPECT_EQ(mounts[1].path, "/media/My Disk\tx\\y");  // optional fields before "-"
    EXPECT_EQ(mounts[1].fileSystem, "vfat");
    EXPECT_EQ(mounts[1].source, "/dev/sdb 1");
    EXPECT_EQ(mounts[2].path, "/run");
    // A backslash not followed by three octal digits stays.
    EXPECT_EQ(ParseMountInfo("1 1 0:1 / /a\\9b\\04 rw - t s o")[0].path, "/a\\9b\\04");
    EXPECT_TRUE(ParseMountInfo("").empty());
}

TEST(MountPoints, RootAndProcAreMountPoints) {
    auto mounts = ListMountPoints();
    auto has = [&](const char* path) {
        return std::any_of(mounts.begin(), mounts.end(), [&](const MountPoint& m) { return m.path == path; });
    };
    EXPECT_TRUE(has("/"));
    EXPECT_TRUE(has("/proc"));

    const struct {
        const char* path;
        bool expected;
    } cases[] = {
        {"/", true},           {"/proc", true}, {"/proc/", true}, {"//proc", true},
        {"/proc/self", false}, {"/pro", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsMountPoint(c.path), c.expected) << c.path;
}

// The mounts of a desktop and of a container side by side.
constexpr const char* kMountInfo =
    "20 1 0:5 / /proc rw - proc proc rw\n"
    "21 1 0:6 / /sys rw - sysfs sysfs rw\n"
    "22 21 0:7 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "23 1 0:8 / /run rw - tmpfs tmpfs rw\n"
    "24 23 0:9 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "25 1 0:10 / /dev rw - devtmpfs udev rw\n"
    "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
    "27 26 0:11 / /tmp rw - tmpfs tmpfs rw\n"
    "28 26 8:17 / /media/usb\\040stick rw - vfat /dev/sdb1 rw\n"
    "29 26 0:12 / /mnt/share rw - nfs4 server:/export rw\n"
    "30 26 0:13 / /home/u/remote rw - fuse.sshfs u@host:/ rw\n"
    "31 26 0:14 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
    "32 26 8:1 /etc/hosts /etc/hosts rw - ext4 /dev/sda1 rw\n"
    "33 26 0:15 / /mnt/share rw - cifs //nas/share rw\n"
    "34 26 0:16 / /var/lib/data rw - ramfs none rw\n";

bool FakeIsFolder(const std::string& path) { return path != "/etc/hosts"; }

std::vector<std::string> Paths(const std::vector<Volume>& volumes) {
    std::vector<std::string> paths;
    for (const Volume& v : volumes) paths.push_back(v.mount.path);
    return paths;
}

TEST(Volumes, RealFileSystemsFirstSystemMountsOnlyWhenAsked) {
    const auto mounts = ParseMountInfo(kMountInfo);
    const auto real = SelectVolumes(mounts, false, &FakeIsFolder);
    // The file mount is no drive; /mnt/share is the cifs mount on top of the nfs one.
    EXPECT_EQ(
        (std::vector<std::string>{"/", "/home/u/remote", "/media/usb stick", "/mnt/share", "/tmp", "/var/lib/data"}),
        Paths(real));
    const auto share =
        std::find_if(real.begin(), real.end(), [](const Volume& v) { return v.mount.path == "/mnt/share"; });
    ASSERT_NE(share, real.end());
    EXPECT_EQ("cifs", share->mount.fileSystem);
    EXPECT_EQ("//nas/share", share->name);
    EXPECT_EQ("sda1", real[0].name);
    EXPECT_EQ("ramfs", real.back().name) << "a source of \"none\" names the file system instead";

    const auto all = SelectVolumes(mounts, true, &FakeIsFolder);
    ASSERT_EQ(real.size() + 7, all.size());
    const std::vector<std::string> allPaths = Paths(all);
    EXPECT_EQ(Paths(real), std::vector<std::string>(allPaths.begin(), allPaths.begin() + real.size()));
    for (std::size_t i = real.size(); i < all.size(); ++i) EXPECT_TRUE(all[i].system) << all[i].mount.path;
    EXPECT_EQ((std::vector<std::string>{"/dev", "/proc", "/run", "/run/user/1000", "/sys", "/sys/fs/cgroup",
                                        "/var/lib/docker/overlay2/x/merged"}),
              std::vector<std::string>(allPaths.begin() + real.size(), allPaths.end()));

    EXPECT_FALSE(IsSystemMount({"/", "overlay", "overlay"})) << "a container's root";
    EXPECT_TRUE(IsSystemMount({"/dev/shm", "tmpfs", "tmpfs"}));
    EXPECT_FALSE(IsSystemMount({"/runner", "tmpfs", "tmpfs"})) << "whole components only";
}

TEST(Volumes, VolumeHoldingAPathIsTheLongestMountAbove) {
    const auto volumes = SelectVolumes(ParseMountInfo(kMountInfo), false, nullptr);
    auto holding = [&](std::string_view path) {
        const int i = VolumeHolding(volumes, path);
        return i < 0 ? std::string("-") : volumes[i].mount.path;
    };
    const std::pair<const char*, const char*> cases[] = {
        {"/", "/"},
        {"/media/usb stick", "/media/usb stick"},
        {"/media/usb stick/", "/media/usb stick"},
        {"/media/usb stick/a/b", "/media/usb stick"},
        {"/MEDIA/USB STICK/a", "/media/usb stick"},
        {"/media/usb sticks", "/"},
        {"/tmpx/a", "/"},
        {"relative", "-"},
        {"", "-"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(expected, holding(path)) << path;
}

// This machine's own mounts, their space read back against statvfs.
TEST(Volumes, ListsThisMachinesMountsWithTheirSpace) {
    const auto real = ListVolumes(false);
    const auto all = ListVolumes(true);
    ASSERT_FALSE(real.empty());
    std::set<std::string> realPaths;
    for (const Volume& v : real) {
        EXPECT_FALSE(v.system) << v.mount.path;
        realPaths.insert(v.mount.path);
    }
    auto in = [](const std::vector<Volume>& list, const char* path) {
        return std::any_of(list.begin(), list.end(), [&](const Volume& v) { return v.mount.path == path; });
    };
    EXPECT_FALSE(in(real, "/proc"));
    EXPECT_TRUE(in(all, "/proc"));
    EXPECT_FALSE(in(real, "/sys"));
    EXPECT_TRUE(in(real, "/")) << "the root of roots is always a drive";
    for (const Volume& v : all) {
        if (!v.system) {
            EXPECT_TRUE(realPaths.count(v.mount.path)) << v.mount.path;
        }
    }

    // Other processes write to the disk meanwhile: compare a reading taken
    // between two equal statvfs readings.
    MountSpace space;
    struct statvfs before {
    }, after{};
    bool steady = false;
    for (int attempt = 0; attempt < 50 && !steady; ++attempt) {
        ASSERT_EQ(0, statvfs("/", &before));
        ASSERT_TRUE(GetMountSpace("/", space));
        ASSERT_EQ(0, statvfs("/", &after));
        steady = before.f_bfree == after.f_bfree && before.f_bavail == after.f_bavail;
    }
    ASSERT_TRUE(steady);
    EXPECT_EQ(static_cast<std::int64_t>(before.f_blocks * before.f_frsize), space.total);
    EXPECT_EQ(static_cast<std::int64_t>(before.f_bfree * before.f_frsize), space.totalFree);
    EXPECT_EQ(static_cast<std::int64_t>(before.f_bavail * before.f_frsize), space.available);
    EXPECT_LE(space.available, space.totalFree);
    EXPECT_GT(space.total, 0);
    EXPECT_FALSE(GetMountSpace("/no/such/folder/here", space));
    EXPECT_EQ(-1, space.total);
}

}  // namespace
}  // namespace tandrel::platform
