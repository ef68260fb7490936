#pragma once
// Files and folders: the find record, enumeration, attributes, times, copy,
// move, delete and free space. Plain functions over POSIX; no toolkit types.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tandrel::platform {

inline constexpr char PathDelim = '/';

// 100-nanosecond ticks since 1601-01-01 00:00 UTC, the unit the stored
// formats use for file times. 0 means "no time".
using FileTime = std::int64_t;

// The attribute word of a find record, synthesised from lstat data.
enum : std::uint32_t {
    FILE_ATTRIBUTE_READONLY = 1,
    FILE_ATTRIBUTE_HIDDEN = 2,
    FILE_ATTRIBUTE_SYSTEM = 4,
    FILE_ATTRIBUTE_DIRECTORY = 16,
    FILE_ATTRIBUTE_ARCHIVE = 32,
    FILE_ATTRIBUTE_REPARSE_POINT = 1024,
};
inline constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

struct FindRecord {
    std::string name;  // the entry's own name, no folder part
    std::uint32_t attributes = 0;
    std::uint32_t linkCount = 1;  // names of the file (hard links); 1 when unknown
    std::int64_t size = 0;        // 0 for folders
    FileTime creationTime = 0;    // birth time when known, else last-write time
    FileTime lastWriteTime = 0;
    // Identify the file behind its names; 0 when unknown.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// Walks the entries of one folder ("." and ".." left out). A symbolic link to
// a folder, and a folder on another device than the enumerated one (a mount
// point), carry FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, so a
// walk that skips reparse points never leaves its file system nor loops.
class FolderEnumerator {
public:
    explicit FolderEnumerator(const std::string& folder);
    // For a folder met in its parent's listing: a walk that stays on one file
    // system already knows its device, which saves a stat per folder. A
    // symbolic link put in its place since is not followed.
    FolderEnumerator(const std::string& folder, std::uint64_t device);
    ~FolderEnumerator();
    FolderEnumerator(const FolderEnumerator&) = delete;
    FolderEnumerator& operator=(const FolderEnumerator&) = delete;

    bool IsOpen() const;
    int Error() const;             // errno of the failed open, 0 when open
    std::uint64_t Device() const;  // the folder's device, 0 when not open
    // Fills the next record; false at the end (or on a read error, see Error()).
    bool Next(FindRecord& record);

private:
    struct Impl;
    Impl* impl_;
};

// The find record of one path (the link itself when it is a symbolic link).
bool GetFindRecord(const std::string& path, FindRecord& record);
// Attribute word of a path, INVALID_FILE_ATTRIBUTES when it does not exist.
std::uint32_t GetAttributes(const std::string& path);

// The text a symbolic link holds, as stored (may be relative); false when
// the path is not a link.
bool ReadSymbolicLink(const std::string& path, std::string& target);

bool PathExists(const std::string& path);       // anything, dangling links included
bool FileExists(const std::string& path);       // exists (links followed) and is not a folder
bool DirectoryExists(const std::string& path);  // exists (links followed) and is a folder
// Size in bytes of a file (links followed); -1 when it cannot be read.
std::int64_t GetFileSize(const std::string& path);

// Size and last-write time of a file (links followed) in one call; false
// when it does not exist or is a folder.
bool GetFileSizeAndTime(const std::string& path, std::int64_t& size, FileTime& lastWriteTime);
// Creation and last-write time of a path (links followed). Either pointer may be null.
bool GetFileTimes(const std::string& path, FileTime* creationTime, FileTime* lastWriteTime);
bool SetLastWriteTime(const std::string& path, FileTime lastWriteTime);
// "Set attributes to normal": gives the owner write permission.
bool SetAttributesNormal(const std::string& path);
// Lets whoever may read the file run it too (the owner always), as "chmod +x".
bool SetExecutable(const std::string& path);
// Gives the target the source's permission bits (links followed).
bool CopyPermissions(const std::string& source, const std::string& target);

bool CreateFolder(const std::string& path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceFolders(const std::string& path);
bool DeleteFile(const std::string& path);    // unlink (a link, never its target)
bool RemoveFolder(const std::string& path);  // rmdir of an empty folder
// Copies the content and keeps the last-write time. With failIfExists the
// copy is refused when the target exists; otherwise it is overwritten.
bool CopyFile(const std::string& source, const std::string& target, bool failIfExists);
// As above, in steps: onChunk gets the bytes copied so far after each step;
// false from it stops the copy (LastError() ECANCELED, no target left behind).
using CopyChunkCallback = std::function<bool(std::int64_t bytesDone)>;
bool CopyFile(const std::string& source, const std::string& target, bool failIfExists,
              const CopyChunkCallback& onChunk);
// Renames; a file moved to another file system is copied, then deleted.
bool MoveFile(const std::string& source, const std::string& target);
// Renames within one file system, replacing the target in one step (a reader
// sees the old file or the new one, never a mix).
bool ReplaceFile(const std::string& source, const std::string& target);

// Free bytes of the file system holding the path; -1 when it cannot be read.
std::int64_t GetDiskFreeBytes(const std::string& path);

// errno of the last failing call of this layer on this thread, and its text.
int LastError();
std::string LastErrorText();

// The running executable's full path.
std::string ExecutablePath();

// Conversions between file times and Unix times.
FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
void FileTimeToUnix(FileTime time, std::int64_t& seconds, std::int64_t& nanoseconds);

// A file opened for whole reads or writes. Reading is the ordinary read-only
// open that other programs' locks do not stop; a refused open gives false.
class File {
public:
    // CreateNew makes a new file and fails (EEXIST) when the name is taken.
    enum class Mode { Read, CreateTruncate, CreateNew, Append, ReadWrite };
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open(const std::string& path, Mode mode);
    // A new file without a name in the folder, for reading and writing; it
    // disappears when closed, also when the program ends abruptly.
    bool OpenTemporary(const std::string& folder);
    bool IsOpen() const { return fd_ >= 0; }
    // Bytes read (0 at the end), -1 on error.
    std::int64_t Read(void* buffer, std::size_t count);
    // Writes everything; false on error.
    bool Write(const void* buffer, std::size_t count);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    std::int64_t Size() const;
    bool Seek(std::int64_t offset);
    // Forces the written bytes onto the disk, so a rename after it never
    // publishes an empty file after a power loss.
    bool Sync();
    bool Close();  // false when the final flush failed

private:
    int fd_ = -1;
};

// The whole file, or at most maxBytes of its start; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::size_t maxBytes = SIZE_MAX);
// Creates or truncates the file and writes the bytes.
bool WriteFileBytes(const std::string& path, std::string_view bytes);

namespace test_hooks {
// Makes every open for reading, and every enumeration, of this path or
// anything below it fail with EACCES, as an unreadable file would. Tests run
// as root, where permission bits stop nothing. An empty prefix clears it.
void DenyAccessBelow(const std::string& pathPrefix);
}  // namespace test_hooks

}  // namespace tandrel::platform
