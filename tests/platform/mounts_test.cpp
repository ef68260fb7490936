#include "platform/mounts.h"

#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
}  // namespace tandrel::platform
