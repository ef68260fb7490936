#pragma once
// A folder held open, so that many names in it are looked up without
// walking the whole path again for each one.
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace tandrel::platform {

class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // Holds the folder at path (links followed), letting go of the one held
    // before; staying on the same path keeps the handle. False when it
    // cannot be opened: lookups then fail.
    bool Open(const std::string& path);
    const std::string& Path() const { return path_; }

    // GetFileSizeAndTime of a name in this folder.
    bool GetFileSizeAndTime(const std::string& name, std::int64_t& size, FileTime& lastWriteTime) const;

private:
    void Close();

    std::string path_;
    int fd_ = -1;
    bool opened_ = false;
};

}  // namespace tandrel::platform
