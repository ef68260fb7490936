#include "scan/text_checks.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "scan/filtered_scan.h"

namespace tandrel {

namespace {

constexpr std::size_t kDefaultChunk = 1 << 20;
// Links are followed this far at most, so a loop of links ends.
constexpr int kMaxLinkDepth = 40;

std::mutex hookMutex;
std::function<bool(std::int64_t)> writeHook;
std::size_t chunkSize = kDefaultChunk;

std::function<bool(std::int64_t)> WriteHook() {
    std::lock_guard lock(hookMutex);
    return writeHook;
}

std::size_t ChunkSize() {
    std::lock_guard lock(hookMutex);
    return chunkSize;
}

// The file a path finally names when it is a symbolic link (or a chain).
std::string FollowLinks(const std::string& path) {
    std::string target = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        std::string linked = ShortcutTarget(target);
        if (linked.empty()) break;
        target = std::move(linked);
    }
    return target;
}

// A small first read buffer for small files; never more than the limit.
std::size_t BufferFor(const platform::File& in, std::size_t limit) {
    const std::int64_t size = in.Size();
    if (size < 0) return limit;
    return std::clamp<std::size_t>(static_cast<std::size_t>(size) + 1, 2, limit);
}

}  // namespace

TLineEndCheck CheckLineEnds(const std::string& file, std::size_t bufferSize) {
    platform::File in;
    if (!in.Open(file, platform::File::Mode::Read)) return TLineEndCheck::OpenFailed;
    std::string buffer(BufferFor(in, std::max<std::size_t>(bufferSize, 2)), '\0');
    // A byte is judged once the byte after it is known, so the last byte of
    // the file is never judged, nor is the first one; both still serve as
    // neighbours. Two bytes carry over from one part to the next.
    std::int64_t index = 0;
    char before = 0, last = 0;
    for (;;) {
        const std::int64_t count = in.Read(buffer.data(), buffer.size());
        if (count < 0) return TLineEndCheck::ReadFailed;
        if (count == 0) break;
        for (std::int64_t i = 0; i < count; ++i) {
            const char c = buffer[static_cast<std::size_t>(i)];
            if (index >= 2 && ((last == '\r' && c != '\n') || (last == '\n' && before != '\r')))
                return TLineEndCheck::OtherFound;
            before = last;
            last = c;
            ++index;
        }
    }
    return TLineEndCheck::CrLfOnly;
}

TTextCheckLogs TTextCheckLogs::Default() {
    return {AppSettingsFile("x.log"), AppSettingsFile("error1.log"), AppSettingsFile("error2.log")};
}

TStringList FindUnixFormatFiles(TStopToken& stop, const std::string& folder, const std::string& masks,
                                const TTextCheckOptions& options) {
    TStringList found;
    const TFileTypeList files = ScanFiles(stop, folder, true, masks, "", options.onFolder);
    for (std::size_t n = 0; n < files.size(); ++n) {
        if (stop.StopRequested()) break;
        stop.WaitWhilePaused();
        const std::string path = files[n]->FullFileName();
        AppendLineToFile(options.logs.progress, std::to_string(n) + ": " + EscapeLineName(path));
        if (HasUtf16LeBom(path) || IsBinaryFile(path)) continue;
        switch (CheckLineEnds(path, options.bufferSize)) {
            case TLineEndCheck::OpenFailed:
                AppendLineToFile(options.logs.openErrors, EscapeLineName(path));
                break;
            case TLineEndCheck::ReadFailed:
                AppendLineToFile(options.logs.readErrors, EscapeLineName(path));
                break;
            case TLineEndCheck::OtherFound:
                found.push_back(EscapeLineName(path));
                break;
            case TLineEndCheck::CrLfOnly:
                break;
        }
    }
    return found;
}

bool FileHasTab(const std::string& file, bool& readFailed) {
    readFailed = false;
    const bool utf16 = HasUtf16LeBom(file);
    platform::File in;
    if (!in.Open(file, platform::File::Mode::Read)) {
        readFailed = true;
        return false;
    }
    std::string buffer(BufferFor(in, kDefaultChunk), '\0');
    std::int64_t offset = 0;
    char low = 0;
    for (;;) {
        const std::int64_t count = in.Read(buffer.data(), buffer.size());
        if (count < 0) {
            readFailed = true;
            return false;
        }
        if (count == 0) return false;
        const std::string_view part(buffer.data(), static_cast<std::size_t>(count));
        if (!utf16) {
            if (part.find('\t') != std::string_view::npos) return true;
        } else {
            // UTF-16: a tab is the unit 09 00 at an even offset.
            for (const char c : part) {
                if ((offset & 1) == 0)
                    low = c;
                else if (low == '\t' && c == 0)
                    return true;
                ++offset;
            }
        }
    }
}

TStringList FindFilesWithTab(TStopToken& stop, const std::string& folder, const std::string& masks,
                             const TTextCheckOptions& options) {
    TStringList records;
    const TFileTypeList files = ScanFiles(stop, folder, true, masks, "", options.onFolder);
    for (const auto& file : files) {
        if (stop.StopRequested()) break;
        stop.WaitWhilePaused();
        const std::string path = file->FullFileName();
        bool readFailed = false;
        if (!FileHasTab(path, readFailed)) {
            if (readFailed) AppendLineToFile(options.logs.openErrors, EscapeLineName(path));
            continue;
        }
        const std::string time = FormatDateTimeMs(file->DateM);
        records.push_back(EscapeLineName(file->FileName) + "|" + EscapeLineName(file->Path) + "|" +
                          std::to_string(file->Size) + "|" + time + "|" + time + "|0");
    }
    return records;
}

std::string FixResultText(const TFixResult& result) {
    switch (result.outcome) {
        case TFixOutcome::Fixed:
            return "Line ends fixed: " + result.file;
        case TFixOutcome::Unchanged:
            return "Line ends already CR LF: " + result.file;
        case TFixOutcome::Missing:
            return "File not found: " + result.file;
        case TFixOutcome::Unicode:
            return "File is in unicode format, not changed: " + result.file;
        case TFixOutcome::Binary:
            return "File is binary, not changed: " + result.file;
        case TFixOutcome::ReadOnly:
            return "File is read-only, not changed: " + result.file;
        case TFixOutcome::Failed:
            break;
    }
    return "Could not fix line ends of " + result.file + ": " + result.error;
}

TFixResult FixLineEnds(const std::string& file, bool removeReadOnly) {
    TFixResult result{file, TFixOutcome::Failed, {}};
    const std::string target = FollowLinks(file);
    if (!platform::FileExists(target)) {
        result.outcome = TFixOutcome::Missing;
        return result;
    }
    if (HasUtf16LeBom(target)) {
        result.outcome = TFixOutcome::Unicode;
        return result;
    }
    if (IsBinaryFile(target)) {
        result.outcome = TFixOutcome::Binary;
        return result;
    }
    const std::uint32_t attributes = platform::GetAttributes(target);
    const bool readOnly =
        attributes != platform::INVALID_FILE_ATTRIBUTES && (attributes & platform::FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !removeReadOnly) {
        result.outcome = TFixOutcome::ReadOnly;
        return result;
    }
    platform::File in;
    if (!in.Open(target, platform::File::Mode::Read)) {
        result.error = platform::LastErrorText();
        return result;
    }
    const std::size_t bomSize = HasUtf8Bom(target) ? 3 : 0;
    const auto hook = WriteHook();
    bool changed = false, completed = false, readFailed = false, stopped = false;
    const bool replaced = WriteFileReplacing(
        target,
        [&](platform::AtomicFile& out) {
            std::string buffer(ChunkSize(), '\0');
            std::string converted;
            std::int64_t offset = 0, written = 0;
            bool pendingCr = false;  // the byte before was a CR, already written as CR LF
            bool lineOpen = false;   // bytes since the last line end (the mark left out)
            auto flush = [&] {
                if (!out.Write(converted)) return false;
                written += static_cast<std::int64_t>(converted.size());
                converted.clear();
                if (hook && !hook(written)) {
                    stopped = true;
                    return false;
                }
                return true;
            };
            for (;;) {
                const std::int64_t count = in.Read(buffer.data(), buffer.size());
                if (count < 0) {
                    readFailed = true;
                    return false;
                }
                if (count == 0) break;
                for (std::int64_t i = 0; i < count; ++i, ++offset) {
                    const char c = buffer[static_cast<std::size_t>(i)];
                    if (c == '\n' && pendingCr) {
                        pendingCr = false;
                        continue;
                    }
                    if (pendingCr) changed = true;  // a CR on its own
                    pendingCr = false;
                    if (c == '\r' || c == '\n') {
                        converted += "\r\n";
                        if (c == '\r')
                            pendingCr = true;
                        else
                            changed = true;
                        lineOpen = false;
                    } else {
                        converted += c;
                        if (static_cast<std::size_t>(offset) >= bomSize) lineOpen = true;
                    }
                }
                if (!flush()) return false;
            }
            if (pendingCr) changed = true;
            if (lineOpen) {
                converted += "\r\n";
                changed = true;
            }
            if (!flush()) return false;
            completed = true;
            // Nothing to change: the temporary copy is dropped, the file keeps its time.
            return changed;
        },
        ReplaceOptions{}, target);
    if (replaced) {
        if (readOnly) platform::SetAttributesNormal(target);
        result.outcome = TFixOutcome::Fixed;
    } else if (completed && !changed) {
        result.outcome = TFixOutcome::Unchanged;
    } else {
        result.error = readFailed ? "the file could not be read"
                       : stopped  ? "writing was interrupted"
                                  : "the new file could not be written";
    }
    return result;
}

std::vector<TFixResult> FixUnixFormatFiles(const TStringList& files, bool removeReadOnly) {
    std::vector<TFixResult> results;
    for (const std::string& line : files) {
        if (Trim(line).empty()) continue;
        results.push_back(FixLineEnds(UnescapeLineName(line), removeReadOnly));
    }
    return results;
}

void TThreadTextChecks::Init(TTextCheckJob kind, std::string folder, std::string masks, TStringList files,
                             bool removeReadOnly, TTextCheckOptions options) {
    job = kind;
    folder_ = std::move(folder);
    masks_ = std::move(masks);
    files_ = std::move(files);
    removeReadOnly_ = removeReadOnly;
    options_ = std::move(options);
}

void TThreadTextChecks::Execute() {
    options_.onFolder = [this](const std::string& folder) { SetProgress(folder); };
    switch (job) {
        case TTextCheckJob::FindUnixFormat:
            found = FindUnixFormatFiles(stop_, folder_, masks_, options_);
            break;
        case TTextCheckJob::FindTabs:
            found = FindFilesWithTab(stop_, folder_, masks_, options_);
            break;
        case TTextCheckJob::FixUnixFormat:
            for (const std::string& line : files_) {
                if (stop_.StopRequested()) break;
                if (Trim(line).empty()) continue;
                const std::string file = UnescapeLineName(line);
                SetProgress(file);
                fixes.push_back(FixLineEnds(file, removeReadOnly_));
            }
            break;
    }
}

namespace test_hooks {

void SetFixLineEndsWriteHook(std::function<bool(std::int64_t bytesWritten)> hook) {
    std::lock_guard lock(hookMutex);
    writeHook = std::move(hook);
}

void SetFixLineEndsChunkSize(std::size_t bytes) {
    std::lock_guard lock(hookMutex);
    chunkSize = bytes == 0 ? kDefaultChunk : bytes;
}

}  // namespace test_hooks

}  // namespace tandrel
