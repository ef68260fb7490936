#pragma once
// Copying and moving a list of files and folders into one destination
// folder. Every item lands directly in the destination (the structure above
// the items is not kept). Copies keep modification times, copy symbolic
// links as links and never leave the file system a source folder is on. A
// move within one file system is one rename of the item; across file systems
// it is a copy, checked byte for byte, after which the source is deleted
// file by file. Whatever fails, nothing is lost: a source is deleted only
// once its copy is complete and checked, a half-written target file is
// removed, and a replaced item is swapped out only when its successor is whole.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tandrel::platform {

enum class TreeOperation { Copy, Move };
enum class ConflictAnswer { Replace, Skip, KeepBoth, Cancel };
enum class ItemOutcome { Done, Skipped, Failed, Cancelled };

struct TreeCopyCallbacks {
    // Polled before every file and between steps of a large one; false stops
    // the operation. Pausing is the caller's: it may block here.
    std::function<bool()> keepGoing;
    // The item being worked on and the bytes copied so far in the whole run.
    std::function<void(const std::string& item, std::int64_t bytesDone)> progress;
    // The item's name is taken in the destination. Without an answer: Skip.
    std::function<ConflictAnswer(const std::string& source, const std::string& target)> conflict;
    // The name "Keep both" uses for target (a free name next to it). Without
    // one, " (2)", " (3)" ... is put before the extension.
    std::function<std::string(const std::string& target)> keepBothName;
    // One line per failed step.
    std::function<void(const std::string& line)> failure;
};

struct TreeCopyReport {
    // One outcome per item, in the order of the items.
    std::vector<ItemOutcome> outcomes;
    // Where each item landed ("" unless Done).
    std::vector<std::string> targets;
    std::int64_t filesCopied = 0;  // files written (a rename writes none)
    std::int64_t bytesCopied = 0;
    int failures = 0;  // failure lines reported
    bool cancelled = false;
};

// Copies or moves the items (files, folders, links; a trailing "/" is
// ignored) into the existing folder destination.
TreeCopyReport CopyOrMoveTree(TreeOperation operation, const std::vector<std::string>& items,
                              const std::string& destination, const TreeCopyCallbacks& callbacks);

// The same bytes in both files (sizes first).
bool SameFileContent(const std::string& a, const std::string& b);

}  // namespace tandrel::platform
