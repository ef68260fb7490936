#include "common/text_file.h"

#include <cstddef>
#include <mutex>

#include "common/app_folders.h"
#include "common/date_time.h"
#include "common/retry.h"
#include "common/strings.h"
#include "common/text_encoding.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

constexpr int kShortDelayMs = 200;
constexpr int kLongDelayMs = 1000;
constexpr std::size_t kBinaryProbeBytes = 1000;

// The folder part of a file path, "" when it has none.
std::string FolderOf(const std::string& file) {
    std::size_t slash = file.rfind(platform::PathDelim);
    if (slash == std::string::npos) return {};
    return file.substr(0, slash == 0 ? 1 : slash);
}

// Deletes an existing file and creates the folder that will hold it.
void PrepareReplacement(const std::string& file) {
    if (platform::FileExists(file)) platform::DeleteFile(file);
    std::string folder = FolderOf(file);
    if (!folder.empty()) platform::ForceFolders(folder);
}

// Appends through O_APPEND, which creates a missing file without ever
// truncating one that another writer created a moment ago. A file this call
// created starts with the given mark.
bool AppendBytes(const std::string& file, std::string_view bytes, std::string_view markOfNewFile) {
    bool existed = platform::FileExists(file);
    platform::File out;
    if (!out.Open(file, platform::File::Mode::Append)) return false;
    bool written = true;
    if (!existed && !markOfNewFile.empty() && out.Size() == 0) written = out.Write(markOfNewFile);
    written = written && out.Write(bytes);
    return out.Close() && written;
}

bool FileStartsWith(const std::string& file, std::string_view prefix) {
    std::string head;
    if (!platform::ReadFileBytes(file, head, prefix.size())) return false;
    return head == prefix;
}

}  // namespace

TStringList TextToLines(std::string_view text) {
    TStringList lines;
    std::size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t brk = text.find_first_of("\r\n", start);
        if (brk == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, brk - start));
        start = brk + 1;
        if (text[brk] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

std::string LinesToText(const TStringList& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool LoadTextFile(TStringList& lines, const std::string& file) {
    lines.clear();
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes)) return false;
    lines = TextToLines(DecodeTextBytes(bytes));
    return true;
}

void LoadTextFileRetry(TStringList& lines, const std::string& file) {
    lines.clear();
    if (!platform::FileExists(file)) return;
    RetryAttempts(kRetryAttempts, kShortDelayMs, [&] { return LoadTextFile(lines, file); });
}

TStringList ReadFromFile(const std::string& file) {
    TStringList lines;
    bool ok = RetryAttempts(kRetryAttempts, kShortDelayMs, [&] {
        if (!platform::FileExists(file)) {
            lines.clear();
            return true;
        }
        return LoadTextFile(lines, file);
    });
    if (!ok) throw TandrelError("ReadFromFile_s_5x failed: " + file);
    return lines;
}

std::string ReadTextFile(const std::string& file) {
    std::string text;
    bool ok = RetryAttempts(kRetryAttempts, kLongDelayMs, [&] {
        std::string bytes;
        if (!platform::ReadFileBytes(file, bytes)) return false;
        text = Trim(DecodeTextBytes(bytes));
        return true;
    });
    if (!ok) throw TandrelError("ReadFromFile_s_5x failed: " + file);
    return text;
}

bool HasUtf16LeBom(const std::string& file) { return FileStartsWith(file, kUtf16LeBom); }
bool HasUtf8Bom(const std::string& file) { return FileStartsWith(file, kUtf8Bom); }

bool IsBinaryData(std::string_view head) {
    if (head.size() > kBinaryProbeBytes) head = head.substr(0, kBinaryProbeBytes);
    if (head.starts_with("MZ")) return true;
    if (head.starts_with(kUtf16LeBom)) return false;
    if (head.starts_with(kUtf16BeBom)) return true;
    if (head.empty()) return false;
    int controlBytes = 0;
    int suspiciousBytes = 0;
    for (char c : head) {
        auto b = static_cast<unsigned char>(c);
        if (b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D) continue;
        if (b < 0x20) {
            if (++controlBytes >= 4) return true;
        } else if (b > 0xF0) {
            ++suspiciousBytes;
        }
    }
    return static_cast<double>(controlBytes + suspiciousBytes) / static_cast<double>(head.size()) > 0.4;
}

bool IsBinaryFile(const std::string& file) {
    std::string head;
    if (!platform::ReadFileBytes(file, head, kBinaryProbeBytes)) return false;
    return IsBinaryData(head);
}

namespace {
std::string TextFileBytes(const TStringList& lines) {
    std::size_t count = lines.size();
    if (count > 0 && lines.back().empty()) --count;
    std::size_t size = kUtf8Bom.size();
    for (std::size_t i = 0; i < count; ++i) size += lines[i].size() + 2;
    std::string bytes;
    bytes.reserve(size);
    bytes += kUtf8Bom;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += lines[i];
        bytes += "\r\n";
    }
    return bytes;
}
}  // namespace

bool SaveTextFile(const TStringList& lines, const std::string& file) {
    return platform::WriteFileBytes(file, TextFileBytes(lines));
}

bool ReplaceTextFile(const TStringList& lines, const std::string& file) {
    platform::AtomicFile out(file);
    return out.IsOpen() && out.Write(TextFileBytes(lines)) && out.Commit();
}

void SaveTextFileRetry(const TStringList& lines, const std::string& file) {
    RetryAttempts(kRetryAttempts, kShortDelayMs, [&] { return SaveTextFile(lines, file); });
}

bool WriteTextFile(const std::string& file, std::string_view text) {
    PrepareReplacement(file);
    return SaveTextFile(TextToLines(text), file);
}

bool WriteRawFile(const std::string& file, std::string_view bytes) {
    PrepareReplacement(file);
    return platform::WriteFileBytes(file, bytes);
}

bool SaveAnsiTextFile(const TStringList& lines, const std::string& file) {
    return WriteRawFile(file, Utf8ToWindows1252(LinesToText(lines)));
}

bool AppendToFile(const std::string& file, std::string_view text) { return AppendBytes(file, text, kUtf8Bom); }

void AppendToFile_5x(const std::string& file, std::string_view text) {
    if (!RetryAttempts(kRetryAttempts, kLongDelayMs, [&] { return AppendToFile(file, text); }))
        throw TandrelError("AppendToFile_5x failed: " + file);
}

bool AppendLineToFile(const std::string& file, std::string_view text) {
    try {
        std::string line(text);
        line += "\r\n";
        return AppendToFile(file, line);
    } catch (const std::exception&) {
        return false;
    }
}

void AppendToFileLn_5x(const std::string& file, std::string_view text) {
    if (!RetryAttempts(kRetryAttempts, kLongDelayMs, [&] { return AppendLineToFile(file, text); }))
        throw TandrelError("AppendToFileLn_5x failed: " + file);
}

bool AppendAnsiLine(const std::string& file, std::string_view text) {
    return AppendBytes(file, Utf8ToWindows1252(text) + "\r\n", {});
}

void AppendLogLine(const std::string& file, std::string_view text) {
    static std::mutex logMutex;
    std::lock_guard<std::mutex> lock(logMutex);
    std::string path = file.find(platform::PathDelim) == std::string::npos ? AppSettingsFolder() + file : file;
    std::string folder = FolderOf(path);
    if (!folder.empty()) platform::ForceFolders(folder);
    std::string line = FormatDateTimeSec(Now());
    line += ": ";
    line += text;
    AppendToFileLn_5x(path, line);
}

}  // namespace tandrel
