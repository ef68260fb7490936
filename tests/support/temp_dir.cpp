#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tandrel::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tandrel_test_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only entries behind; root removes them anyway.
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Path(std::string_view relative) const { return path_ + "/" + std::string(relative); }

std::string TempDir::WriteFile(std::string_view relative, std::string_view bytes) const {
    std::string full = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + full);
    return full;
}

std::string TempDir::MakeFolder(std::string_view relative) const {
    std::string full = Path(relative);
    std::filesystem::create_directories(full);
    return full;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace tandrel::testing
