// The "rename" verb: the folder's file names are edited in the user's text
// editor, line by line, and the changed lines are renamed after a question.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_verbs.h"
#include "common/format_numbers.h"
#include "common/paths.h"
#include "platform/file_system.h"
#include "scan/multi_rename.h"

namespace tandrel::cli {

namespace {

const char* const kUsage = "rename FOLDER [--mask MASK] [--sort natural|alphabetic|date] [--yes]";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "%s\nUsage: tandrel-cli %s\n", problem.c_str(), kUsage);
    return 2;
}

std::string EditorCommand() {
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return "vi";
}

// Runs the editor through the shell, so that "code --wait" and the like work;
// the file goes in as a separate argument and is never parsed by the shell.
bool RunEditor(const std::string& file) {
    const std::string script = EditorCommand() + " \"$1\"";
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", script.c_str(), "sh", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The edited list, or false when the list could not be written, edited or read back.
bool EditNames(const std::string& text, std::string& edited) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        AddTrailingBackslash(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "tandrel-rename-XXXXXX.txt";
    int fd = mkstemps(pattern.data(), 4);
    if (fd < 0) {
        std::fprintf(stderr, "Could not create a temporary file in %s\n", ParentFolder(pattern).c_str());
        return false;
    }
    const bool written = WriteAll(fd, text + "\n");
    close(fd);
    bool ok = written && RunEditor(pattern);
    if (!written)
        std::fprintf(stderr, "Could not write %s\n", pattern.c_str());
    else if (!ok)
        std::fprintf(stderr, "The editor (%s) did not end successfully\n", EditorCommand().c_str());
    if (ok) {
        std::ifstream in(pattern, std::ios::binary);
        edited.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ok = !in.bad();
    }
    unlink(pattern.c_str());
    return ok;
}

bool Confirmed(std::size_t count) {
    std::fprintf(stderr, "You are about to rename %s Items. Continue? [y/N] ",
                 FormatCount(static_cast<double>(count)).c_str());
    std::fflush(stderr);
    char answer[16] = {};
    if (std::fgets(answer, sizeof answer, stdin) == nullptr) return false;
    return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace

int RunRename(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {"mask", "sort"}, {"yes"});
    if (!parsed.error.empty()) return Usage(parsed.error);
    if (parsed.positional.size() != 1) return Usage("Give one folder.");
    const std::string folder = AddTrailingBackslash(ExpandFileName(parsed.positional[0]));
    if (!platform::DirectoryExists(folder)) return Usage("Folder not found: " + parsed.positional[0]);

    TRenameSort sort = TRenameSort::Natural;
    if (auto found = parsed.options.find("sort"); found != parsed.options.end()) {
        if (found->second == "alphabetic")
            sort = TRenameSort::Alphabetic;
        else if (found->second == "date")
            sort = TRenameSort::DateModified;
        else if (found->second != "natural")
            return Usage("Unknown sort method: " + found->second);
    }
    auto mask = parsed.options.find("mask");
    const std::vector<std::string> names =
        ListNamesToRename(folder, mask == parsed.options.end() ? "*.*" : mask->second, sort);
    if (names.empty()) {
        std::printf("No files to rename.\n");
        return 0;
    }

    const std::string original = NamesToLines(names);
    std::string edited;
    if (!EditNames(original, edited)) return 2;
    TRenameBatch batch = BuildRenameBatch(folder, EditorLines(original), EditorLines(edited));
    if (batch.linesDiffer) {
        std::fprintf(stderr, "Lists do not contain same number of Items\nNothing was renamed.\n");
        return 1;
    }
    if (batch.items.empty()) {
        std::printf("Nothing to rename.\n");
        return 0;
    }
    if (!CheckRenameBatch(batch).empty()) {
        std::fprintf(stderr, "Nothing was renamed:\n");
        for (const std::string& problem : batch.problems) std::fprintf(stderr, "  %s\n", problem.c_str());
        return 1;
    }
    for (const std::string& line : RenameQueueLines(batch)) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (parsed.options.count("yes") == 0 && !Confirmed(batch.items.size())) {
        std::fprintf(stderr, "Nothing was renamed.\n");
        return 1;
    }

    const int renamed = RunRenameBatch(batch);
    if (renamed < 0) {
        std::fprintf(stderr, "Nothing was renamed:\n");
        for (const std::string& problem : batch.problems) std::fprintf(stderr, "  %s\n", problem.c_str());
        return 1;
    }
    std::printf("\n");
    for (const std::string& line : RenameQueueLines(batch)) std::printf("%s\n", line.c_str());
    std::printf("%s files processed\n", FormatCount(renamed).c_str());
    bool failed = false;
    for (const TRenameItem& item : batch.items) {
        if (item.outcome == TRenameOutcome::Failed || item.outcome == TRenameOutcome::PassedOver) failed = true;
    }
    if (failed) {
        std::fprintf(stderr, "%s\n", RenameFailureReport(batch).c_str());
        return 1;
    }
    return 0;
}

}  // namespace tandrel::cli
