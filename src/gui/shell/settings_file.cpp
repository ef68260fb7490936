#include "gui/shell/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "common/paths.h"
#include "common/retry.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

constexpr int kRetryDelayMs = 200;

// Old section names and the names that replaced them.
constexpr std::pair<std::string_view, std::string_view> kLegacyNames[] = {
    {"dirEdit_CompareVolumes1", "edCompareVolumes1"},
    {"dirEdit_CompareVolumes2", "edCompareVolumes2"},
};

bool IsHeaderLine(std::string_view line) { return !line.empty() && line.front() == '['; }

bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

std::string JoinLines(const TStringList& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

std::optional<int> ParseInt(std::string_view text) {
    std::int64_t value = 0;
    if (!TryStrToInt64(text, value)) return std::nullopt;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

// Index of the header line of the first section of that name, or -1.
std::ptrdiff_t FindSection(const TStringList& lines, std::string_view name) {
    const std::string header = SectionHeader(name);
    auto it = std::find(lines.begin(), lines.end(), header);
    return it == lines.end() ? -1 : it - lines.begin();
}

// One past the last value line of the section whose header is at index.
std::size_t SectionEnd(const TStringList& lines, std::size_t header) {
    std::size_t end = header + 1;
    while (end < lines.size() && !IsHeaderLine(lines[end])) ++end;
    return end;
}

}  // namespace

SettingsFileNames SettingsFileNamesFor(std::string_view exeFileName) {
    std::string base(exeFileName);
    if (base.size() >= 4 && platform::LowerCase(base.substr(base.size() - 4)) == ".exe") base.resize(base.size() - 4);
    return {base + ".ini", base + ".Session.ini", platform::LowerCase(base) + ".positions.ini"};
}

std::string Escape(std::string_view value) {
    TStringList lines = TextToLines(Trim(value));
    for (auto& line : lines) line.insert(0, 1, '>');
    return Trim(JoinLines(lines));
}

std::string Unescape(std::string_view text) {
    TStringList lines = TextToLines(Trim(text));
    for (auto& line : lines)
        if (!line.empty() && line.front() == '>') line.erase(0, 1);
    return Trim(JoinLines(lines));
}

std::string SectionHeader(std::string_view name) {
    std::string header;
    header.reserve(name.size() + 2);
    header += '[';
    header += name;
    header += ']';
    return header;
}

bool HasSection(const TStringList& lines, std::string_view name) { return FindSection(lines, name) >= 0; }

std::string ReadSection(const TStringList& lines, std::string_view name) {
    std::ptrdiff_t header = FindSection(lines, name);
    if (header < 0) return {};
    TStringList values;
    std::size_t end = SectionEnd(lines, static_cast<std::size_t>(header));
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i)
        if (!IsBlank(lines[i])) values.push_back(lines[i]);
    return Trim(JoinLines(values));
}

void AppendSection(TStringList& lines, std::string_view name, std::string_view value) {
    lines.push_back(SectionHeader(name));
    for (auto& line : TextToLines(value)) lines.push_back(std::move(line));
}

void WriteSection(TStringList& lines, std::string_view name, std::string_view value) {
    std::ptrdiff_t header = FindSection(lines, name);
    if (header < 0) {
        AppendSection(lines, name, value);
        return;
    }
    std::size_t first = static_cast<std::size_t>(header) + 1;
    std::size_t end = SectionEnd(lines, static_cast<std::size_t>(header));
    TStringList values = TextToLines(value);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.begin() + static_cast<std::ptrdiff_t>(end));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(first), values.begin(), values.end());
}

void ApplyLegacyRenames(TStringList& lines) {
    // Header lines only: a value (a folder name, say) that happens to hold
    // an old name stays as the user typed it.
    for (auto& line : lines) {
        if (!IsHeaderLine(line)) continue;
        for (const auto& [oldName, newName] : kLegacyNames) line = ReplaceAll(line, oldName, newName);
    }
}

SettingsRead LoadSettingsLines(const std::string& file, TStringList& lines) {
    lines.clear();
    if (!platform::FileExists(file)) return SettingsRead::Missing;
    bool read = RetryAttempts(kRetryAttempts, kRetryDelayMs, [&] { return LoadTextFile(lines, file); });
    if (!read) lines.clear();
    return read ? SettingsRead::Read : SettingsRead::Unreadable;
}

bool SaveSettingsLines(const TStringList& lines, const std::string& file) {
    return RetryAttempts(kRetryAttempts, kRetryDelayMs, [&] { return ReplaceTextFile(lines, file); });
}

void AlignFileNameCase(const std::string& path) {
    if (platform::PathExists(path)) return;
    const std::string folder = ExtractFilePath(path);
    const std::string wanted = ExtractFileName(path);
    std::string found;
    int candidates = 0;
    {
        platform::FolderEnumerator entries(folder.empty() ? std::string(".") : folder);
        platform::FindRecord record;
        while (entries.Next(record)) {
            if (!record.IsDirectory() && platform::SameTextIgnoreCase(record.name, wanted)) {
                found = record.name;
                ++candidates;
            }
        }
    }
    // Of two names that differ only in case, neither is clearly ours.
    if (candidates != 1) return;
    const std::string intermediate = path + ".temp";
    if (platform::PathExists(intermediate)) return;
    if (platform::MoveFile(folder + found, intermediate)) platform::MoveFile(intermediate, path);
}

bool SameSettingsContent(const TStringList& a, const TStringList& b) {
    // Sorting lets the sections come in any order; the number in each key
    // keeps the order of the lines inside a value (a history list that was
    // reordered has changed).
    auto keys = [](const TStringList& lines) {
        TStringList result;
        std::string header;
        int index = 0;
        char number[16];
        for (const auto& line : lines) {
            if (IsBlank(line)) continue;
            if (IsHeaderLine(line)) {
                header = line;
                index = 0;
                result.push_back(line);
                continue;
            }
            std::snprintf(number, sizeof number, "\x01%08d\x01", index++);
            result.push_back(header + number + line);
        }
        std::sort(result.begin(), result.end());
        return result;
    };
    return keys(a) == keys(b);
}

std::optional<std::string> EncodeGeometryLine(const GeometryRect& window, bool maximized,
                                              const GeometryRect& workArea) {
    GeometryRect bounds = window;
    if (maximized) {
        const int inX = workArea.width / 16;
        const int inY = workArea.height / 8;
        bounds = {workArea.left + inX, workArea.top + inY, workArea.width - 2 * inX, workArea.height - 2 * inY};
    }
    if (bounds.left < -100 || bounds.top < -100) return std::nullopt;
    return std::to_string(bounds.left) + "," + std::to_string(bounds.top) + "," + std::to_string(bounds.width) + "," +
           std::to_string(bounds.height) + "," + (maximized ? "Max" : "Normal");
}

StoredGeometry DecodeGeometryLine(std::string_view line) {
    std::vector<std::string> fields = SplitString(line, ",", true);
    fields.resize(std::max<std::size_t>(fields.size(), 5));
    StoredGeometry result;
    std::optional<int> left = ParseInt(fields[0]);
    std::optional<int> top = ParseInt(fields[1]);
    result.left = left.value_or(0);
    result.top = top.value_or(0);
    result.hasPosition = left && top && *left >= -100 && *top >= -100;
    result.maximized = !result.hasPosition || fields[4] == "Max";
    std::optional<int> width = ParseInt(fields[2]);
    std::optional<int> height = ParseInt(fields[3]);
    if (width && *width > 0) result.width = width;
    if (height && *height > 0) result.height = height;
    return result;
}

}  // namespace tandrel
