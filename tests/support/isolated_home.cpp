#include "support/isolated_home.h"

#include <cstdlib>
#include <filesystem>

namespace tandrel::testing {

std::string IsolateUserFolders() {
    std::string root = (std::filesystem::temp_directory_path() / "tandrel_home_XXXXXX").string();
    if (!mkdtemp(root.data())) return {};
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        std::string folder = root + "/" + name;
        std::filesystem::create_directories(folder);
        setenv(name, folder.c_str(), 1);
    }
    setenv("HOME", root.c_str(), 1);
    return root;
}

void RemoveIsolatedFolders(const std::string& root) {
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
}

}  // namespace tandrel::testing
