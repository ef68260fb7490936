#pragma once
// Pending check-ins against a backup repository that mirrors source folders:
// the source file /P/name has its repository copy at repository + "P/name".
// Finds the source folders that have copies in the repository and lists
// their files that are newer than their copy or have none. Only last-write
// times are compared.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/stop_token.h"
#include "common/types.h"
#include "common/worker_thread.h"

namespace tandrel {

// Files with these extensions are never listed.
inline constexpr std::string_view kCheckInsExcludedExtensions = ".csv;.csproj;.bak;";

// The include masks of the extensions text: all blanks removed, then ";".
std::string CheckInsMasks(std::string_view extensions);
// The source folder a repository folder mirrors (both ending in "/"), or ""
// when the folder is not below the repository or its path holds "_history"
// or a component starting with "old" (old copies, not sources).
std::string SourceFolderFor(const std::string& repositoryPath, const std::string& repositoryFolder);
// Where the repository keeps its copy of a source file.
std::string RepositoryCopyFor(const std::string& repositoryPath, const std::string& sourceFile);

// One result line: path|source time|copy time|seconds, the path escaped for
// the line, times as "yyyy-mm-dd hh:nn:ss.zzz", seconds = whole seconds of
// (copy time - source time) truncated toward zero (at millisecond
// resolution); both copy fields empty when there is no copy (time 0).
std::string CheckInResultLine(const std::string& sourceFile, TDateTime sourceTime, TDateTime copyTime);

struct TCheckInsRun {
    std::string repositoryPath;     // as used: with a trailing "/"
    TStringList sourceDirectories;  // sorted, without duplicates
    TStringList sourceFiles;
    TStringList missingFiles;  // expected copies that do not exist
    TStringList resultLines;   // one per pending file
    bool cancelled = false;
};

// The whole check. onFolder is called with each folder entered (on the
// calling thread); stop ends it early with cancelled set.
TCheckInsRun CheckRepository(TStopToken& stop, const std::string& repositoryPath, std::string_view extensions,
                             const std::function<void(const std::string& folder)>& onFolder = {});

// One row of the result list.
struct TCheckInRow {
    std::string path;
    std::string sourceDate;
    std::string repositoryDate;
    std::string notUpdatedFor;  // "hh:mm:ss" or "never updated"
};

// The rows of the result lines that pass the filters: include and exclude
// are ";"-separated terms matched, ignoring case, anywhere in the path. With
// include terms a path must hold one of them; no path may hold an exclude term.
std::vector<TCheckInRow> FilterCheckIns(const TStringList& resultLines, std::string_view include,
                                        std::string_view exclude);

// Runs CheckRepository on a worker; the progress line shows the folder entered.
class TThreadCheckIns : public TWorkerThread {
public:
    TThreadCheckIns(TStopToken& stop, TThreadStringList* progress) : TWorkerThread(progress), stop_(stop) {}
    ~TThreadCheckIns() override { WaitFor(); }
    void Init(std::string repositoryPath, std::string extensions);
    // Read after threadRunning went false.
    TCheckInsRun run;

protected:
    void Execute() override;
    std::string ErrorPrefix() const override { return "Check failed: "; }

private:
    TStopToken& stop_;
    std::string repositoryPath_, extensions_;
};

}  // namespace tandrel
