#pragma once
// Replacing a file so that a reader, or the next start after a crash or a
// kill, finds the old file or the new one whole, never a part of one: the new
// content goes to a temporary file beside the target, is forced onto the
// disk, and then takes the target's name in one rename.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tandrel::platform {

class AtomicFile {
public:
    // Creates the temporary file beside target (its folder must exist);
    // IsOpen() tells whether that worked. A target that is a symbolic link is
    // replaced where the link points, so the link stays.
    explicit AtomicFile(const std::string& target);
    // Without a Commit, the temporary file is removed and the target stays.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool IsOpen() const { return file_.IsOpen(); }
    // Appends the bytes; false on a write error (the file can then only be discarded).
    bool Write(const void* buffer, std::size_t count);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    std::int64_t Written() const { return written_; }
    // Where the content goes until Commit, for setting its permissions.
    const std::string& TemporaryPath() const { return temporary_; }
    // Syncs and closes the file, renames it over the target and syncs the
    // folder. False, with the target as it was and no temporary file left,
    // when any step (or an earlier write) failed.
    bool Commit();
    // Drops what was written; the target stays as it was.
    void Discard();

private:
    File file_;
    std::string target_;
    std::string temporary_;
    std::int64_t written_ = 0;
    bool failed_ = false;
};

// True for the names AtomicFile gives its temporary files (hidden, ending in
// ".partial-PID-N"): a listing never takes one, left behind by a killed
// process, for a real file.
bool IsAtomicTemporaryName(std::string_view name);
// Deletes the temporary files in folder that a process no longer running
// left behind (killed while it wrote); returns how many went.
int RemoveStaleAtomicTemporaries(const std::string& folder);

namespace test_hooks {
// Called after every piece an AtomicFile writes, with its target and the
// bytes written so far; false makes that write fail as a full disk would.
// Lets a test stop or kill a writer part-way. Null clears it.
using AtomicWriteHook = bool (*)(const std::string& target, std::int64_t written);
void SetAtomicWriteHook(AtomicWriteHook hook);
}  // namespace test_hooks

}  // namespace tandrel::platform
