// tandrel-cli: the headless command line. Results go to standard output,
// progress (when it is a terminal) and errors to standard error.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/folder_summary.h"
#include "common/format_numbers.h"
#include "common/paths.h"
#include "platform/current_folder.h"
#include "platform/file_system.h"

using namespace tandrel;

namespace {

const char* const kUsage =
    "Usage: tandrel-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  summary [FOLDER]   walk FOLDER (default: the current folder) and print its\n"
    "                     folder and file counts, total size and largest files\n"
    "  --help             show this text\n";

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == platform::PathDelim) return NormalizePath(path);
    return NormalizePath(PathJoin(platform::CurrentFolder(), path));
}

int RunSummary(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::fprintf(stderr, "summary takes at most one folder.\n%s", kUsage);
        return 2;
    }
    std::string folder = AbsolutePath(args.empty() ? "." : args[0]);
    if (!platform::DirectoryExists(folder)) {
        std::fprintf(stderr, "Folder not found: %s\n", folder.c_str());
        return 1;
    }
    bool showProgress = isatty(STDERR_FILENO);
    auto started = std::chrono::steady_clock::now();
    FolderSummary summary = SummarizeFolder(folder, 10, [&](const FolderSummary& s) {
        if (showProgress)
            std::fprintf(stderr, "\rScanning: %s folders, %s files",
                         FormatCount(static_cast<double>(s.folders)).c_str(),
                         FormatCount(static_cast<double>(s.files)).c_str());
    });
    if (showProgress) std::fprintf(stderr, "\r\033[K");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("Folder: %s\n", summary.folder.c_str());
    std::printf("Folders: %s\n", FormatCount(static_cast<double>(summary.folders)).c_str());
    std::printf("Files: %s\n", FormatCount(static_cast<double>(summary.files)).c_str());
    std::printf("Size: %s (%s bytes)\n", FormatBytes(summary.bytes).c_str(),
                FormatCount(static_cast<double>(summary.bytes)).c_str());
    if (summary.unreadableFolders > 0)
        std::printf("Unreadable folders: %s\n", FormatCount(static_cast<double>(summary.unreadableFolders)).c_str());
    if (summary.skippedReparsePoints > 0)
        std::printf("Skipped links and mount points: %s\n",
                    FormatCount(static_cast<double>(summary.skippedReparsePoints)).c_str());
    if (!summary.largest.empty()) {
        std::printf("Largest files:\n");
        for (const LargeFile& file : summary.largest)
            std::printf("  %10s  %s\n", FormatBytes(file.size).c_str(), file.path.c_str());
    }
    std::printf("Time: %.2f s\n", seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "summary") return RunSummary(args);
    std::fprintf(stderr, "Unknown command: %s\n%s", command.c_str(), kUsage);
    return 2;
}
