#pragma once
// A small tmpfs mounted for one test: another file system, and one that runs
// out of room. Mounting needs root; without it Mounted() is false and the
// test skips with Reason().
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace tandrel::testing {

class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& size = "1m") {
        path_ = holder_.MakeFolder("mnt");
        const std::string options = "size=" + size + ",mode=0777";
        if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0)
            mounted_ = true;
        else
            reason_ = std::string("cannot mount a tmpfs here (") + std::strerror(errno) + "), needs root";
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    const std::string& path() const { return path_; }
    std::string Path(const std::string& relative) const { return path_ + "/" + relative; }

private:
    TempDir holder_;
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace tandrel::testing

#define TANDREL_REQUIRE_TMPFS(fs) \
    if (!(fs).Mounted()) GTEST_SKIP() << (fs).Reason()
