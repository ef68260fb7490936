// tandrel-cli: the engines without a window. Results go to standard output;
// progress (while it is a terminal) and errors go to standard error.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_verbs.h"

namespace {

const char* const kUsage =
    "Usage: tandrel-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  scan FOLDER [--saveas NAME] [--comment TEXT] [--date YYYYMMDD] [--dateoffset N]\n"
    "        scan FOLDER and write its temporary snapshot; with --saveas keep it\n"
    "        under NAME ([yyyy] [mm] [dd] [hh] [ii] [ss] expand to the date; a bare\n"
    "        name goes into the settings folder). Prints the snapshot's path last.\n"
    "  summary [FOLDER|SNAPSHOT] [--top N]\n"
    "        scan the folder (default: the current folder) or load the snapshot and\n"
    "        print its overview, then its N largest folders and files (default 10)\n"
    "  snapshots [FILTER]\n"
    "        list the stored snapshots, newest first; FILTER keeps those whose name,\n"
    "        path or description hold every word (\"-word\" excludes)\n"
    "  --help\n"
    "        show this text\n"
    "\n"
    "Ctrl-C cancels a scan; a cancelled scan still leaves its temporary snapshot.\n";

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    int code;
    if (command == "scan") code = tandrel::cli::RunScan(args);
    else if (command == "summary") code = tandrel::cli::RunSummary(args);
    else if (command == "snapshots") code = tandrel::cli::RunSnapshots(args);
    else {
        std::fprintf(stderr, "Unknown command: %s\n\n%s", command.c_str(), kUsage);
        return 2;
    }
    // Freeing a model of millions of nodes one by one takes longer than the
    // process exit that frees them all at once; every file is closed by now.
    std::fflush(nullptr);
    std::_Exit(code);
}
