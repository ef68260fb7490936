#pragma once
// Renaming the files of one folder by editing a list of their names: line i
// of the edited list is the new name of the file on line i of the original.
// The batch is checked as a whole before anything is renamed, so a bad name
// or a clash leaves every file as it was.
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

enum class TRenameSort { Alphabetic = 0, Natural = 1, DateModified = 2 };

// Names of the plain files directly in the folder that match the mask:
// Alphabetic keeps the enumeration's order, Natural sorts digit runs by
// value, DateModified puts the oldest first with ties by name ignoring case.
std::vector<std::string> ListNamesToRename(const std::string& folder, std::string_view mask, TRenameSort sort);

// One name per line. Line breaks and "|" inside a name are written escaped,
// as in every line format, so each name stays on its own line and comes back
// byte for byte.
std::string NamesToLines(const std::vector<std::string>& names);
// The lines of an editor's text (LF or CR LF), trailing blank lines dropped.
// A NUL stays in its line, so that the check can refuse it.
std::vector<std::string> EditorLines(std::string_view text);

enum class TRenameOutcome {
    Pending,     // not run yet
    Renamed,     // " | [OK]"
    Skipped,     // " | [skipped]": empty new name
    Failed,      // the system refused; the file keeps its name
    PassedOver,  // a name holding " | " or " -> ": left alone, unmarked
};

struct TRenameItem {
    std::string oldName;  // the file's name as on disk
    std::string newName;  // as typed, blanks at both ends removed
    TRenameOutcome outcome = TRenameOutcome::Pending;
    std::string error;  // why a rename failed
};

struct TRenameBatch {
    std::string folder;  // with a trailing delimiter
    bool linesDiffer = false;
    std::vector<TRenameItem> items;
    // What stops the whole batch; filled by CheckRenameBatch.
    std::vector<std::string> problems;
};

// The renames between two lists of editor lines (escaped as NamesToLines
// writes them). Trailing blank lines are ignored; lists of different lengths
// give linesDiffer and no items. A line is left out when its original is
// blank or when both names are equal once trimmed.
TRenameBatch BuildRenameBatch(const std::string& folder, const std::vector<std::string>& originalLines,
                              const std::vector<std::string>& modifiedLines);

// The queue line of an item: folder, " | ", old name, " -> ", new name, and
// " | [OK]" or " | [skipped]" once run.
std::string RenameQueueLine(const TRenameBatch& batch, const TRenameItem& item);
std::vector<std::string> RenameQueueLines(const TRenameBatch& batch);

// Looks for everything that would make the batch unsafe, in the order the
// renames run: a new name holding "/" or NUL or being "." or "..", a file
// that is gone, and a new name that exists at the time of its rename (also
// one that a later rename of the batch would move away, and one that an
// earlier rename of the batch creates). Fills and returns problems.
const std::vector<std::string>& CheckRenameBatch(TRenameBatch& batch);

// Checks the batch and, only when it has no problems, renames in order.
// A rename the system refuses is marked Failed and the run goes on: an
// existing file is never replaced. Returns the number of files renamed, or
// -1 when the check refused the batch and nothing was touched.
int RunRenameBatch(TRenameBatch& batch);

// After a run with failures: which files were renamed and which were not, and why.
std::string RenameFailureReport(const TRenameBatch& batch);

}  // namespace tandrel
