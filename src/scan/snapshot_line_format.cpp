#include "scan/snapshot_line_format.h"

#include <time.h>

#include <charconv>
#include <cstring>
#include <memory>

#include "common/date_time.h"
#include "common/strings.h"

namespace tandrel {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kBucketSeconds = 15 * 60;
// Outside these UTC seconds (about 1799 to 3002) the slow path decides; the
// local year there is at or beyond the 1800..3000 limits anyway.
constexpr std::int64_t kFastFrom = -5'396'198'400;  // 1799-01-01
constexpr std::int64_t kFastTo = 32'535'215'999;    // 3001-01-01
// The local wall clock as Unix-style seconds: the years 1800..3000.
constexpr std::int64_t kLocal1800 = -5'364'662'400;
constexpr std::int64_t kLocal3001 = 32'535'216'000;
constexpr std::int64_t kUnixEpochDay = 25569;  // 1970-01-01 as a day count
constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Seconds to add to a UTC time to get the local wall clock at that instant.
bool LocalOffsetAt(std::int64_t unixSeconds, std::int64_t& offset) {
    time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm;
    if (!localtime_r(&t, &tm)) return false;
    const std::int64_t local = DaysFromCivil(tm.tm_year + 1900LL, tm.tm_mon + 1, tm.tm_mday) * kSecondsPerDay +
                               tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
    offset = local - unixSeconds;
    return true;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// localtime_r takes a lock and walks the zone's rules; a scan converts two
// times per entry, so offsets are remembered. A day whose offset is the same
// at both ends has it throughout (zones change at most once a day); on the
// few days with a change, quarter hours are checked the same way, and a
// quarter hour with a change (only in old local mean times) is converted
// directly. Each thread has its own tables, so no locking is needed.
class OffsetCache {
public:
    // The offset at unixSeconds; false when it must be converted directly.
    bool Find(std::int64_t unixSeconds, std::int64_t& offset) {
        CheckZone();
        const Span& day = Lookup(days_, FloorDiv(unixSeconds, kSecondsPerDay), kSecondsPerDay);
        if (!day.uniform) {
            const Span& quarter = Lookup(quarters_, FloorDiv(unixSeconds, kBucketSeconds), kBucketSeconds);
            if (!quarter.uniform) return false;
            offset = quarter.offset;
            return true;
        }
        offset = day.offset;
        return true;
    }

private:
    struct Span {
        std::int64_t index = INT64_MIN;
        std::int64_t offset = 0;
        bool uniform = false;  // false: the offset changes inside the span
    };
    static constexpr std::size_t kDaySlots = 4096;
    static constexpr std::size_t kQuarterSlots = 256;

    template <std::size_t N>
    static const Span& Lookup(Span (&slots)[N], std::int64_t index, std::int64_t length) {
        Span& slot = slots[static_cast<std::uint64_t>(index) % N];
        if (slot.index == index) return slot;
        const std::int64_t first = index * length;
        std::int64_t atFirst = 0, atLast = 0;
        const bool ok = LocalOffsetAt(first, atFirst) && LocalOffsetAt(first + length - 1, atLast);
        slot.index = index;
        slot.offset = atFirst;
        slot.uniform = ok && atFirst == atLast;
        return slot;
    }

    // tzset() changes these, and only then does localtime_r see another zone.
    void CheckZone() {
        if (tzname[0] == zoneName0_ && tzname[1] == zoneName1_ && timezone == zoneSeconds_ && daylight == zoneDaylight_)
            return;
        for (Span& span : days_) span = Span{};
        for (Span& span : quarters_) span = Span{};
        zoneName0_ = tzname[0];
        zoneName1_ = tzname[1];
        zoneSeconds_ = timezone;
        zoneDaylight_ = daylight;
    }

    Span days_[kDaySlots];
    Span quarters_[kQuarterSlots];
    const char* zoneName0_ = nullptr;
    const char* zoneName1_ = nullptr;
    long zoneSeconds_ = 0;
    int zoneDaylight_ = 0;
};

// Allocated on first use, so threads that never convert pay nothing.
OffsetCache& ThreadOffsetCache() {
    thread_local std::unique_ptr<OffsetCache> cache;
    if (!cache) cache = std::make_unique<OffsetCache>();
    return *cache;
}

// Names normally need no escaping; skip the copy then. A plain loop: a
// search for any of four characters runs a memchr per character of the name.
bool NeedsEscaping(std::string_view name) {
    for (char c : name)
        if (c == '|' || c == '\r' || c == '\n' || c == '%') return true;
    return false;
}

void AppendName(std::string& out, std::string_view name) {
    if (!NeedsEscaping(name))
        out.append(name);
    else
        out.append(EscapeLineName(name));
}

void AppendUnsigned(std::string& out, std::uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendSigned(std::string& out, std::int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

// Splits at "|" into at most maxFields fields, trimmed except the first when
// exactFirst (a file name may begin or end with blanks; trimming would rename
// the file). Returns how many.
int SplitFields(std::string_view line, std::string_view* fields, int maxFields, bool exactFirst) {
    int count = 0;
    while (count < maxFields) {
        std::size_t bar = line.find('|');
        const std::string_view field = line.substr(0, bar);
        fields[count] = (count == 0 && exactFirst) ? field : TrimView(field);
        ++count;
        if (bar == std::string_view::npos) break;
        line.remove_prefix(bar + 1);
    }
    return count;
}

std::string UnescapedName(std::string_view field) {
    if (field.find('%') == std::string_view::npos) return std::string(field);
    return UnescapeLineName(field);
}

TDateTime ReadTime(std::string_view field) {
    TDateTime value = 0;
    if (field.empty() || !TryParseIsoDateTime(field, value)) return 0;
    return value;
}

}  // namespace

TDateTime ScanTimeToDateTime(platform::FileTime time) {
    if (time == 0) return 0;
    std::int64_t seconds, nanoseconds;
    platform::FileTimeToUnix(time, seconds, nanoseconds);
    if (seconds < kFastFrom || seconds > kFastTo) return FileTimeToLocalDateTime(time);
    std::int64_t offset = 0;
    if (!ThreadOffsetCache().Find(seconds, offset)) return FileTimeToLocalDateTime(time);
    const std::int64_t local = seconds + offset;
    if (local < kLocal1800 || local >= kLocal3001) return 0;
    // The arithmetic of EncodeDateTime, so that both give the same double.
    const std::int64_t unixDay = FloorDiv(local, kSecondsPerDay);
    const std::int64_t secondOfDay = local - unixDay * kSecondsPerDay;
    const double days = static_cast<double>(unixDay + kUnixEpochDay);
    const double fraction =
        static_cast<double>(secondOfDay * 1000 + nanoseconds / 1'000'000) / static_cast<double>(kMsPerDay);
    return days >= 0 ? days + fraction : days - fraction;
}

void AppendFolderLine(std::string& out, std::string_view folderPathWithDelim, const platform::FindRecord* find) {
    out += '|';
    AppendName(out, folderPathWithDelim);
    if (!find) return;
    out += '|';
    AppendDateTimeMs(out, ScanTimeToDateTime(find->creationTime));
    out += '|';
    AppendDateTimeMs(out, ScanTimeToDateTime(find->lastWriteTime));
    out += '|';
    AppendUnsigned(out, find->attributes);
}

void AppendFileLine(std::string& out, const platform::FindRecord& file, TDateTime lastWrite) {
    AppendName(out, file.name);
    out += '|';
    AppendSigned(out, file.size);
    out += '|';
    AppendDateTimeMs(out, ScanTimeToDateTime(file.creationTime));
    out += '|';
    AppendDateTimeMs(out, lastWrite);
    out += '|';
    AppendUnsigned(out, file.attributes);
}

bool ParseFileLine(std::string_view line, SnapshotFileLine& out) {
    out = SnapshotFileLine{};
    std::string_view fields[5];
    const int count = SplitFields(line, fields, 5, true);
    if (count < 2 || fields[0].empty()) return false;
    std::int64_t size = 0;
    // A negative size would corrupt every sum above the file.
    if (!TryStrToInt64(fields[1], size) || size < 0) return false;
    out.name = UnescapedName(fields[0]);
    out.size = size;
    if (count > 2) out.created = ReadTime(fields[2]);
    if (count > 3) out.lastWrite = ReadTime(fields[3]);
    if (count > 4) {
        std::uint32_t attributes = 0;
        const std::string_view text = fields[4];
        auto result = std::from_chars(text.data(), text.data() + text.size(), attributes);
        if (result.ec == std::errc() && result.ptr == text.data() + text.size()) out.attributes = attributes;
    }
    return true;
}

bool ParseFolderLine(std::string_view line, std::string& path) {
    path.clear();
    if (!line.empty() && line.front() == '|') line.remove_prefix(1);
    std::string_view field;
    // Folder paths begin and end with "/", so trimming never changes one of ours.
    SplitFields(line, &field, 1, false);
    if (field.empty()) return false;
    path = UnescapedName(field);
    return true;
}

}  // namespace tandrel
