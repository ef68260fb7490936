#pragma once
// A temporary folder for one test, removed with everything in it at the end.
#include <string>
#include <string_view>

namespace tandrel::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without trailing "/".
    const std::string& path() const { return path_; }
    // path() + "/" + relative.
    std::string Path(std::string_view relative) const;
    // Writes a file (creating its folders) and returns its full path.
    std::string WriteFile(std::string_view relative, std::string_view bytes) const;
    // Creates a folder (and its parents) and returns its full path.
    std::string MakeFolder(std::string_view relative) const;

private:
    std::string path_;
};

// Reads a whole file as bytes ("" when missing).
std::string ReadBytes(const std::string& path);

}  // namespace tandrel::testing
