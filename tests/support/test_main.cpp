// Every test program starts here: the user's real folders are never touched,
// because the XDG folders and HOME point into one temporary folder per run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string root = (std::filesystem::temp_directory_path() / "tandrel_home_XXXXXX").string();
    if (!mkdtemp(root.data())) return 2;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        std::string folder = root + "/" + name;
        std::filesystem::create_directories(folder);
        setenv(name, folder.c_str(), 1);
    }
    setenv("HOME", root.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return result;
}
