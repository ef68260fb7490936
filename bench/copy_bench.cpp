// Copies or moves items into a folder with the file-operation engine and
// prints the wall time, files and bytes: the peer (cp -r, mv) runs beside it
// in copy_bench.sh.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tree_copy.h"

int main(int argc, char** argv) {
    if (argc < 4 || (std::strcmp(argv[1], "copy") != 0 && std::strcmp(argv[1], "move") != 0)) {
        std::fprintf(stderr, "usage: copy_bench copy|move ITEM... DESTINATION_FOLDER\n");
        return 2;
    }
    using tandrel::platform::TreeOperation;
    const TreeOperation operation = std::strcmp(argv[1], "move") == 0 ? TreeOperation::Move : TreeOperation::Copy;
    std::vector<std::string> items(argv + 2, argv + argc - 1);
    tandrel::platform::TreeCopyCallbacks callbacks;
    callbacks.failure = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const auto start = std::chrono::steady_clock::now();
    const auto report = tandrel::platform::CopyOrMoveTree(operation, items, argv[argc - 1], callbacks);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f s, %lld files, %lld bytes, %d failures\n", seconds, static_cast<long long>(report.filesCopied),
                static_cast<long long>(report.bytesCopied), report.failures);
    return report.failures == 0 ? 0 : 1;
}
