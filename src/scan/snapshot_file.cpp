#include "scan/snapshot_file.h"

#include <algorithm>
#include <cstring>

#include "common/compressed_text.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/messages.h"
#include "common/strings.h"
#include "common/text_encoding.h"
#include "common/text_file.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

constexpr std::string_view kVolumeLine = "[extended volume]";
constexpr std::string_view kSeparator{"\0\0\x01", 3};
constexpr std::string_view kUtf16ContainerStart{"\xFF\xFE[\0e\0x\0t\0", 10};
constexpr std::string_view kUtf8ContainerStart = "\xEF\xBB\xBF[exte";
// Only this much of the start decides whether a file is a container.
constexpr std::size_t kHeadProbeBytes = 9998;
constexpr std::size_t kSearchBlock = std::size_t(1) << 16;

bool StartsLikeContainer(std::string_view head) {
    if (head.size() > kHeadProbeBytes) head = head.substr(0, kHeadProbeBytes);
    return head.size() > 10 && (head.starts_with(kUtf16ContainerStart) || head.starts_with(kUtf8ContainerStart));
}

// Index of the first 01 byte preceded by two 00 bytes, at index 2 or later;
// npos when there is none.
std::size_t FindSeparatorByte(std::string_view bytes, std::size_t from = 2) {
    std::size_t at = std::max<std::size_t>(from, 2);
    while (at < bytes.size()) {
        const void* hit = std::memchr(bytes.data() + at, 0x01, bytes.size() - at);
        if (!hit) return std::string_view::npos;
        at = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
        if (bytes[at - 1] == 0 && bytes[at - 2] == 0) return at;
        ++at;
    }
    return std::string_view::npos;
}

void ReportMissingSeparator(const std::string& file) {
    GetMessages().ShowMessage(MessageKind::Info, "uncompressed-compressed volume separator not found in " + file);
}

// The separator in a file already read whole; 0 when it is not a container.
std::int64_t SeparatorInBytes(std::string_view bytes, const std::string& file) {
    if (!StartsLikeContainer(bytes)) return 0;
    std::size_t at = FindSeparatorByte(bytes);
    if (at == std::string_view::npos) {
        ReportMissingSeparator(file);
        return 0;
    }
    return static_cast<std::int64_t>(at);
}

// The two header bytes of a zlib stream: deflate, a valid window, check bits.
bool LooksLikeZlib(std::string_view bytes) {
    if (bytes.size() < 2) return false;
    auto cmf = static_cast<unsigned char>(bytes[0]);
    auto flg = static_cast<unsigned char>(bytes[1]);
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}

// Reads the first line so that a body that does not even start is refused
// at once; then back to the start.
bool ProbeReader(SnapshotLineReader& reader, std::string& error) {
    std::string_view line;
    reader.Next(line);
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    reader.Rewind();
    return true;
}

// Plain text ends at the first NUL character, as every text load does.
SnapshotLineReader ReaderOfPlainText(std::string_view bytes) {
    std::string text = DecodeTextBytes(bytes);
    std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return SnapshotLineReader::FromText(std::move(text));
}

bool LoadContainerBody(std::string_view bytes, std::size_t separator, SnapshotLineReader& reader, std::string& error) {
    std::string body(bytes.substr(separator + 1));
    if (bytes.starts_with(kUtf8Bom)) {
        reader = SnapshotLineReader::FromCompressed(std::move(body));
        return ProbeReader(reader, error);
    }
    // Containers with a UTF-16 header carry a UTF-16 LE body.
    std::string inflated;
    if (!DecompressZlib(body, inflated)) {
        reader = SnapshotLineReader::FromCompressed(std::move(body));
        std::string_view line;
        while (reader.Next(line)) {}
        error = reader.Failed() ? reader.Error() : "compressed body is damaged";
        return false;
    }
    std::string_view utf16 = inflated;
    if (utf16.starts_with(kUtf16LeBom)) utf16.remove_prefix(kUtf16LeBom.size());
    reader = SnapshotLineReader::FromText(Utf16LeToUtf8(utf16));
    return true;
}

bool LoadOlderForm(std::string_view bytes, SnapshotLineReader& reader, std::string& error) {
    if (bytes.starts_with(kUtf16LeBom)) {
        reader = ReaderOfPlainText(bytes);
        return true;
    }
    const bool binary = IsBinaryData(bytes);
    if (LooksLikeZlib(bytes)) {
        if (!binary) {
            // A short stream can pass the text test; one that inflates whole wins.
            std::string text;
            if (DecompressZlib(bytes, text)) {
                reader = SnapshotLineReader::FromText(std::move(text));
                return true;
            }
        } else {
            reader = SnapshotLineReader::FromCompressed(std::string(bytes));
            std::string probeError;
            if (ProbeReader(reader, probeError)) return true;
        }
    }
    if (!binary) {
        reader = ReaderOfPlainText(bytes);
        return true;
    }
    reader = SnapshotLineReader();
    error = "not a snapshot: neither a snapshot container, nor text, nor a zlib stream";
    return false;
}

// Header values are single lines without NUL (a NUL could fake the separator).
std::string SingleLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\0') continue;
        out += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return out;
}

}  // namespace

namespace {

// Writes the container beside the target and renames it into place, so a
// failed write or a kill never leaves a half file under the real name.
template <typename WriteBody>
bool WriteContainer(const std::string& file, std::string_view headerText, WriteBody writeBody) {
    std::string head(kUtf8Bom);
    head += kVolumeLine;
    head += "\r\n";
    if (!headerText.empty()) {
        for (char c : headerText)
            if (c != '\0') head += c;
        head += "\r\n";
    }
    head += kSeparator;

    return WriteFileReplacing(file, [&](platform::AtomicFile& out) { return out.Write(head) && writeBody(out); });
}

}  // namespace

bool SaveExtendedVolume(const std::string& file, std::string_view headerText, std::string_view compressedBody) {
    return WriteContainer(file, headerText, [&](platform::AtomicFile& out) { return out.Write(compressedBody); });
}

bool SaveExtendedVolume(const std::string& file, std::string_view headerText, const CompressedBody& body) {
    return WriteContainer(file, headerText, [&](platform::AtomicFile& out) { return body.WriteTo(out); });
}

bool SaveExtendedVolume(const TStringList& lines, const std::string& file, std::string_view headerText) {
    std::string text(kUtf8Bom);
    text += LinesToText(lines);
    return SaveExtendedVolume(file, headerText, CompressZlib(text, 1));
}

std::int64_t FindVolumeSeparator(const std::string& file) {
    platform::File in;
    if (!in.Open(file, platform::File::Mode::Read)) return 0;
    std::string head(kHeadProbeBytes, '\0');
    std::int64_t got = in.Read(head.data(), head.size());
    if (got <= 0) return 0;
    head.resize(static_cast<std::size_t>(got));
    if (!StartsLikeContainer(head)) return 0;

    // Blocks with the last two bytes of the one before, so that a separator
    // across a block boundary is still found.
    if (!in.Seek(0)) return 0;
    std::string block(kSearchBlock + 2, '\0');
    std::size_t carried = 0;
    std::int64_t blockStart = 0;  // file offset of block[0]
    while (true) {
        std::int64_t n = in.Read(block.data() + carried, kSearchBlock);
        if (n <= 0) break;
        std::string_view view(block.data(), carried + static_cast<std::size_t>(n));
        std::size_t at = FindSeparatorByte(view);
        if (at != std::string_view::npos) return blockStart + static_cast<std::int64_t>(at);
        carried = std::min<std::size_t>(2, view.size());
        std::memmove(block.data(), view.data() + view.size() - carried, carried);
        blockStart += static_cast<std::int64_t>(view.size() - carried);
    }
    ReportMissingSeparator(file);
    return 0;
}

bool LoadExtendedVolume(const std::string& file, SnapshotLineReader& reader, std::string* error) {
    std::string reason;
    const auto fail = [&](const std::string& why) {
        reader = SnapshotLineReader();
        if (error) *error = why;
        return false;
    };
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes)) return fail("cannot read the file (" + platform::LastErrorText() + ")");
    if (bytes.empty()) return fail("the file is empty");
    const std::int64_t separator = SeparatorInBytes(bytes, file);
    if (separator > 0) {
        if (!LoadContainerBody(bytes, static_cast<std::size_t>(separator), reader, reason)) return fail(reason);
        return true;
    }
    // A container header without separator and body holds no lines at all;
    // reading it as text would make folders of its keys.
    if (StartsLikeContainer(bytes)) return fail("the snapshot has a header but no body");
    if (!LoadOlderForm(bytes, reader, reason)) return fail(reason);
    return true;
}

void LoadExtendedVolume(TStringList& list, const std::string& file) {
    list.clear();
    SnapshotLineReader reader;
    std::string error;
    if (!LoadExtendedVolume(file, reader, &error)) {
        GetMessages().ShowMessage(MessageKind::Error, "Could not load " + file + ": " + error);
        return;
    }
    std::string_view line;
    while (reader.Next(line)) list.emplace_back(line);
    if (reader.Failed()) {
        list.clear();
        GetMessages().ShowMessage(MessageKind::Error, "Could not load " + file + ": " + reader.Error());
    }
}

std::string ReadExtendedVolumeHeader(const std::string& file) {
    const std::int64_t separator = FindVolumeSeparator(file);
    if (separator <= 0) return {};
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes, static_cast<std::size_t>(separator))) return {};
    std::string text;
    if (std::string_view(bytes).starts_with(kUtf8Bom))
        text = bytes.substr(kUtf8Bom.size());
    else
        text = Utf16LeToUtf8(std::string_view(bytes).substr(kUtf16LeBom.size()));
    TStringList lines = TextToLines(text);  // ends at the separator's 00 bytes
    if (!lines.empty() && Contains(lines.front(), "[extend")) lines.erase(lines.begin());
    return LinesToText(lines);
}

TStringList BuildSnapshotHeader(const std::string& rootPath, const std::string& createdText,
                                const std::string& description, const TDirectoryStats& counts) {
    return {
        "|version|",
        "3",
        "|tandrel version|",
        SingleLine(AppVersionText()),
        "|saved on|",
        FormatDateTimeMs(Now()),
        "|created|",
        SingleLine(createdText),
        "|description|",
        ">" + SingleLine(description),
        // A path may hold "|" and line breaks here; escaped like in the body.
        "|root_path|",
        SingleLine(EscapeLineName(rootPath)),
        "|folders_count|",
        std::to_string(counts.DirectoriesCount),
        "|files_count|",
        std::to_string(counts.FilesCount),
        "|size|",
        std::to_string(counts.Size),
        "|text_encoding|",
        "text_is_UTF8",
    };
}

void SetHeaderValue(std::string_view key, TStringList& header, const TStringList& values) {
    std::string keyLine(key);
    if (!keyLine.starts_with('|')) keyLine = "|" + keyLine + "|";
    auto keyAt = std::find(header.begin(), header.end(), keyLine);
    if (keyAt == header.end()) {
        header.push_back(keyLine);
        header.insert(header.end(), values.begin(), values.end());
        return;
    }
    auto valuesEnd =
        std::find_if(keyAt + 1, header.end(), [](const std::string& line) { return line.starts_with('|'); });
    auto insertAt = header.erase(keyAt + 1, valuesEnd);
    header.insert(insertAt, values.begin(), values.end());
}

}  // namespace tandrel
