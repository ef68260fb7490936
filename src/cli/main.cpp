// tandrel-cli: the engines without a window. Results go to standard output;
// progress (while it is a terminal) and errors go to standard error.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_verbs.h"
#include "platform/memory_pages.h"

namespace {

const char* const kUsage =
    "Usage: tandrel-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  scan FOLDER [--saveas NAME] [--comment TEXT] [--date YYYYMMDD] [--dateoffset N]\n"
    "       [--hardlinks-once]\n"
    "        scan FOLDER and write its temporary snapshot; with --saveas keep it\n"
    "        under NAME ([yyyy] [mm] [dd] [hh] [ii] [ss] expand to the date; a bare\n"
    "        name goes into the settings folder). Prints the snapshot's path last.\n"
    "  summary [FOLDER|SNAPSHOT] [--top N] [--hardlinks-once]\n"
    "        scan the folder (default: the current folder) or load the snapshot and\n"
    "        print its overview, then its N largest folders and files (default 10)\n"
    "        --hardlinks-once: a file with several names (hard links) adds its size\n"
    "        to the totals once, at the first name met\n"
    "  snapshots [FILTER]\n"
    "        list the stored snapshots, newest first; FILTER keeps those whose name,\n"
    "        path or description hold every word (\"-word\" excludes)\n"
    "  compare-snapshots LEFT RIGHT [--tsv]\n"
    "        compare the LEFT snapshot with the RIGHT snapshot or live folder: the\n"
    "        overview, then the new, deleted, updated and renamed/moved files; with\n"
    "        --tsv one line per file row (status, left path, right path, left size,\n"
    "        right size; 0 identical, 1 new, 2 deleted, 3 renamed/moved, 4 updated),\n"
    "        then one per folder row starting with F\n"
    "  compare-dirs LEFT RIGHT [--filter MASKS] [--exclude MASKS] [--min-size BYTES]\n"
    "               [--no-subdirs] [--all] [--tsv]\n"
    "        compare every file under LEFT with the file at the same place under\n"
    "        RIGHT, byte for byte (verdicts are cached); prints the files that\n"
    "        differ and the totals (--all: every file); exit 0 when all are\n"
    "        identical, 1 when any is not, 2 on an error; with --tsv one line per\n"
    "        file (status number, verdict, path)\n"
    "  compare-files A B\n"
    "        compare two files byte for byte; exit 0 identical, 1 different or\n"
    "        missing, 2 on an error\n"
    "  rename FOLDER [--mask MASK] [--sort natural|alphabetic|date] [--yes]\n"
    "        edit the names of the files in FOLDER in $VISUAL or $EDITOR (else vi),\n"
    "        one per line; the changed lines are shown and, after a question\n"
    "        (--yes: none), renamed. Nothing is renamed when a new name exists\n"
    "        already or holds \"/\"; exit 0 done, 1 refused or not all renamed,\n"
    "        2 on an error\n"
    "  duplicates PATH[;PATH...] [--filter MASKS] [--exclude MASKS] [--min-size N]\n"
    "             [--max-size N] [--no-subdirs] [--tsv]\n"
    "        find files of identical content under the folders (\"-PATH\" excludes\n"
    "        one; files below 1024 bytes are left out) and print each group: group\n"
    "        number, size and path per file, groups apart, then the summary; with\n"
    "        --tsv one line per file (group, size in bytes, path). Never deletes.\n"
    "        Exit 0 when there are none, 1 when there are some, 2 on an error\n"
    "  --help\n"
    "        show this text\n"
    "\n"
    "In --tsv output every field is escaped so that a name cannot split its row:\n"
    "tab, line feed, carriage return and \"%\" are written as %09, %0A, %0D and %25.\n"
    "\n"
    "Ctrl-C cancels a scan; a cancelled scan still leaves its temporary snapshot.\n";

}  // namespace

int main(int argc, char** argv) {
    tandrel::platform::TuneAllocatorForScans();
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    int code;
    if (command == "scan")
        code = tandrel::cli::RunScan(args);
    else if (command == "summary")
        code = tandrel::cli::RunSummary(args);
    else if (command == "snapshots")
        code = tandrel::cli::RunSnapshots(args);
    else if (command == "compare-snapshots")
        code = tandrel::cli::RunCompareSnapshots(args);
    else if (command == "compare-dirs")
        code = tandrel::cli::RunCompareDirs(args);
    else if (command == "compare-files")
        code = tandrel::cli::RunCompareFiles(args);
    else if (command == "rename")
        code = tandrel::cli::RunRename(args);
    else if (command == "duplicates")
        code = tandrel::cli::RunDuplicates(args);
    else {
        std::fprintf(stderr, "Unknown command: %s\n\n%s", command.c_str(), kUsage);
        return 2;
    }
    // Freeing a model of millions of nodes one by one takes longer than the
    // process exit that frees them all at once; every file is closed by now.
    std::fflush(nullptr);
    std::_Exit(code);
}
