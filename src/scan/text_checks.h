#pragma once
// Maintenance checks of source trees: text files whose line ends are not
// CR LF, rewriting such files with CR LF line ends, and text files holding
// tab characters. Files are found with the filtered scanner; nothing here
// shows anything, outcomes are returned to the caller.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/stop_token.h"
#include "common/types.h"
#include "common/worker_thread.h"

namespace tandrel {

// The line-end search reads at most this many bytes at a time; larger files
// are examined in parts, a line end across two parts included.
inline constexpr std::size_t kLineEndBufferSize = 10'000'000;

// How the line ends of one file look.
enum class TLineEndCheck {
    CrLfOnly,    // every CR and LF between the first and last byte is part of a CR LF
    OtherFound,  // a bare CR or a bare LF between the first and last byte
    OpenFailed,  // the file could not be opened
    ReadFailed,  // reading it failed part-way
};

// Examines the bytes from the second to the second-to-last, reading the file
// in parts of at most bufferSize bytes (at least 2).
TLineEndCheck CheckLineEnds(const std::string& file, std::size_t bufferSize = kLineEndBufferSize);

// Where the line-end search writes its logs: one line per file examined
// ("N: path"), and the paths of files that could not be opened, resp. read.
struct TTextCheckLogs {
    std::string progress;    // "x.log" in the settings folder by default
    std::string openErrors;  // "error1.log"
    std::string readErrors;  // "error2.log"
    static TTextCheckLogs Default();
};

struct TTextCheckOptions {
    std::size_t bufferSize = kLineEndBufferSize;
    TTextCheckLogs logs = TTextCheckLogs::Default();
    // Called with each folder entered (on the scanning thread).
    std::function<void(const std::string& folder)> onFolder;
};

// Full paths of the files below folder matching masks (";"-separated, a
// recursive scan) whose line ends are not all CR LF. UTF-16 and binary files
// are skipped; unreadable files are logged and skipped. Stops early only
// when stop asks.
TStringList FindUnixFormatFiles(TStopToken& stop, const std::string& folder, const std::string& masks,
                                const TTextCheckOptions& options = {});

// The records "name|folder|size|time|time|0" of the files below folder
// matching masks whose text holds a tab character; times as
// "yyyy-mm-dd hh:nn:ss.zzz". Names and folders are escaped for the line.
TStringList FindFilesWithTab(TStopToken& stop, const std::string& folder, const std::string& masks,
                             const TTextCheckOptions& options = {});
// True when the file's text holds a tab (a UTF-16 file by its 16-bit units).
bool FileHasTab(const std::string& file, bool& readFailed);

// What became of one file given to FixLineEnds.
enum class TFixOutcome {
    Fixed,      // rewritten with CR LF line ends
    Unchanged,  // its line ends were already CR LF; left alone
    Missing,    // no such file
    Unicode,    // a UTF-16 file: not rewritten
    Binary,     // not rewritten
    ReadOnly,   // read-only and removing the flag was not asked for
    Failed,     // reading or writing failed; the file is as it was
};

struct TFixResult {
    std::string file;
    TFixOutcome outcome = TFixOutcome::Failed;
    std::string error;  // the reason of a failure
};

// The message line for a result other than Fixed and Unchanged.
std::string FixResultText(const TFixResult& result);

// Rewrites one file with every CR, LF and CR LF turned into CR LF and a CR LF
// after a last line that has none. All other bytes, a UTF-8 byte-order mark
// included, stay as they are. The new content is written beside the file and
// takes its name only when complete, with the file's permissions; a failure
// leaves the original whole. A symbolic link is followed to the file it
// names. With removeReadOnly a read-only file is made writable first.
TFixResult FixLineEnds(const std::string& file, bool removeReadOnly);
// FixLineEnds for every non-empty line of the list, in order.
std::vector<TFixResult> FixUnixFormatFiles(const TStringList& files, bool removeReadOnly);

// One of the three tools on a worker; the progress line shows the folder
// entered, resp. the file being fixed.
enum class TTextCheckJob { FindUnixFormat, FixUnixFormat, FindTabs };

class TThreadTextChecks : public TWorkerThread {
public:
    TThreadTextChecks(TStopToken& stop, TThreadStringList* progress) : TWorkerThread(progress), stop_(stop) {}
    ~TThreadTextChecks() override { WaitFor(); }
    // folder and masks for the searches; files (the result lines) for the fix.
    void Init(TTextCheckJob job, std::string folder, std::string masks, TStringList files, bool removeReadOnly,
              TTextCheckOptions options = {});
    // Read after threadRunning went false.
    TTextCheckJob job = TTextCheckJob::FindUnixFormat;
    TStringList found;              // the searches' result lines
    std::vector<TFixResult> fixes;  // the fix's outcomes, in order

protected:
    void Execute() override;
    std::string ErrorPrefix() const override { return "Check failed: "; }

private:
    TStopToken& stop_;
    std::string folder_, masks_;
    TStringList files_;
    bool removeReadOnly_ = false;
    TTextCheckOptions options_;
};

namespace test_hooks {
// Called after each part written by FixLineEnds with the bytes written so
// far; false makes the write fail there, as a full disk would. An empty hook
// clears it.
void SetFixLineEndsWriteHook(std::function<bool(std::int64_t bytesWritten)> hook);
// The size of the parts FixLineEnds reads and writes (0 restores the default).
void SetFixLineEndsChunkSize(std::size_t bytes);
}  // namespace test_hooks

}  // namespace tandrel
