#include "scan/snapshot_lines.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "common/app_folders.h"
#include "common/text_encoding.h"

namespace tandrel {

namespace {

// Lines are handed to the compressor in chunks of about this size; a few
// chunks in flight keep the scanning thread from waiting on zlib while the
// uncompressed text never piles up.
constexpr std::size_t kChunkSize = std::size_t(256) << 10;
constexpr std::size_t kMaxQueuedChunks = 3;
// Compressed output is kept in pieces of this size: no piece is ever copied
// to grow, so the end of a big scan needs no second copy of its body.
constexpr std::size_t kPieceSize = std::size_t(1) << 20;
// Full pieces beyond this go to the spill file.
constexpr std::size_t kKeepInMemory = 2 * kPieceSize;
// The reader inflates in steps of this; a longer line grows its buffer.
constexpr std::size_t kReadStep = std::size_t(1) << 18;
// zlib counts in 32-bit units.
constexpr std::size_t kMaxZlibStep = std::size_t(1) << 30;
// No real line comes near this (a path of the deepest tree the loader takes
// is a few MB); a longer one is a damaged or hostile stream, which would
// otherwise inflate into memory without end.
constexpr std::size_t kMaxLineBytes = std::size_t(64) << 20;

}  // namespace

// ---------------------------------------------------------------------------
// Writer

struct SnapshotLinesWriter::Impl {
    std::string chunk;  // lines not yet handed over
    std::int64_t count = 0;

    // Shared with the compressor thread, under mutex.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> queue;
    std::vector<std::string> spare;  // emptied chunks for reuse
    bool finishing = false;
    bool abandon = false;

    // Owned by the compressor thread while it runs.
    z_stream stream{};
    bool streamOpen = false;
    std::vector<std::string> pieces;
    std::size_t pieceUsed = 0;  // bytes used in pieces.back()
    std::unique_ptr<platform::File> spill;
    std::int64_t spilledBytes = 0;
    bool spillUnavailable = false;
    bool failed = false;
    std::thread compressor;

    Impl() { StartBody(); }
    ~Impl() { Stop(); }

    void StartBody() {
        chunk.clear();
        chunk.reserve(kChunkSize + 4096);
        chunk.append(kUtf8Bom);
        count = 0;
    }

    void OpenStream() {
        stream = z_stream{};
        if (deflateInit2(&stream, 1, Z_DEFLATED, MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw TandrelError("zlib: deflateInit2 failed");
        streamOpen = true;
        pieces.clear();
        pieceUsed = 0;
        spill.reset();
        spilledBytes = 0;
        spillUnavailable = false;
        failed = false;
        finishing = false;
        abandon = false;
        compressor = std::thread([this] { CompressLoop(); });
    }

    // Runs zlib over the bytes; false when zlib reports an error.
    bool Deflate(std::string_view bytes, int flush) {
        std::size_t inPos = 0;
        while (true) {
            std::size_t inStep = std::min(bytes.size() - inPos, kMaxZlibStep);
            if (pieces.empty() || pieceUsed == pieces.back().size()) {
                SpillFullPieces();
                pieces.emplace_back(kPieceSize, '\0');
                pieceUsed = 0;
            }
            std::string& piece = pieces.back();
            std::size_t room = piece.size() - pieceUsed;
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + inPos));
            stream.avail_in = static_cast<uInt>(inStep);
            stream.next_out = reinterpret_cast<Bytef*>(piece.data() + pieceUsed);
            stream.avail_out = static_cast<uInt>(room);
            bool lastPart = inPos + inStep == bytes.size();
            int result = deflate(&stream, lastPart ? flush : Z_NO_FLUSH);
            inPos += inStep - stream.avail_in;
            pieceUsed += room - stream.avail_out;
            if (result == Z_STREAM_ERROR) return false;
            if (result == Z_STREAM_END) return true;
            // This input is used up once zlib left output room unused.
            if (lastPart && stream.avail_in == 0 && stream.avail_out != 0 && flush != Z_FINISH) return true;
        }
    }

    // Moves the full pieces to the spill file once they pass kKeepInMemory.
    // Without a usable cache folder they simply stay in memory.
    void SpillFullPieces() {
        if (spillUnavailable || pieces.size() * kPieceSize < kKeepInMemory) return;
        if (!spill) {
            auto file = std::make_unique<platform::File>();
            const std::string folder = DataFolder();
            if (folder.empty() || !file->OpenTemporary(folder)) {
                spillUnavailable = true;
                return;
            }
            spill = std::move(file);
        }
        for (const std::string& piece : pieces) {
            if (!spill->Write(piece)) {
                failed = true;
                return;
            }
            spilledBytes += static_cast<std::int64_t>(piece.size());
        }
        pieces.clear();
    }

    void CompressLoop() {
        while (true) {
            std::string next;
            bool last = false;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [this] { return abandon || !queue.empty() || finishing; });
                if (abandon) return;
                if (!queue.empty()) {
                    next = std::move(queue.front());
                    queue.pop_front();
                    changed.notify_all();
                } else {
                    last = true;
                }
            }
            if (last) {
                if (!failed && !Deflate({}, Z_FINISH)) failed = true;
                return;
            }
            if (!failed && !Deflate(next, Z_NO_FLUSH)) failed = true;
            next.clear();
            std::lock_guard lock(mutex);
            if (spare.size() < kMaxQueuedChunks + 1) spare.push_back(std::move(next));
        }
    }

    void HandOver() {
        if (!streamOpen) OpenStream();
        std::string fresh;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return queue.size() < kMaxQueuedChunks; });
            queue.push_back(std::move(chunk));
            if (!spare.empty()) {
                fresh = std::move(spare.back());
                spare.pop_back();
            }
        }
        changed.notify_all();
        chunk = std::move(fresh);
        chunk.clear();
        if (chunk.capacity() < kChunkSize) chunk.reserve(kChunkSize + 4096);
    }

    void Stop() {
        if (compressor.joinable()) {
            {
                std::lock_guard lock(mutex);
                abandon = true;
            }
            changed.notify_all();
            compressor.join();
        }
        if (streamOpen) deflateEnd(&stream);
        streamOpen = false;
        queue.clear();
        pieces = {};
        pieceUsed = 0;
        spill.reset();
        spilledBytes = 0;
    }

    CompressedBody Finish() {
        // An empty or small body never started the thread: one pass here.
        if (!streamOpen) {
            OpenStream();
        }
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return queue.size() < kMaxQueuedChunks; });
            queue.push_back(std::move(chunk));
            finishing = true;
        }
        changed.notify_all();
        compressor.join();
        deflateEnd(&stream);
        streamOpen = false;
        bool broken = failed;
        if (!pieces.empty()) pieces.back().resize(pieceUsed);
        CompressedBody result;
        result.pieces_ = std::move(pieces);
        result.spill_ = std::move(spill);
        result.spilledBytes_ = spilledBytes;
        pieces = {};
        pieceUsed = 0;
        spilledBytes = 0;
        queue.clear();
        StartBody();
        if (broken) throw TandrelError("zlib: deflate failed");
        return result;
    }
};

SnapshotLinesWriter::SnapshotLinesWriter() : impl_(std::make_unique<Impl>()) {}
SnapshotLinesWriter::~SnapshotLinesWriter() = default;

void SnapshotLinesWriter::Clear() {
    impl_->Stop();
    impl_->StartBody();
}

void SnapshotLinesWriter::Add(std::string_view line) {
    Impl& d = *impl_;
    d.chunk.append(line);
    d.chunk.append("\r\n", 2);
    ++d.count;
    if (d.chunk.size() >= kChunkSize) d.HandOver();
}

std::int64_t SnapshotLinesWriter::Count() const { return impl_->count; }

CompressedBody SnapshotLinesWriter::TakeBody() { return impl_->Finish(); }

std::string SnapshotLinesWriter::TakeCompressed() { return impl_->Finish().ToString(); }

CompressedBody::CompressedBody() = default;
CompressedBody::~CompressedBody() = default;
CompressedBody::CompressedBody(CompressedBody&&) noexcept = default;
CompressedBody& CompressedBody::operator=(CompressedBody&&) noexcept = default;

std::int64_t CompressedBody::Size() const {
    std::int64_t size = spilledBytes_;
    for (const std::string& piece : pieces_) size += static_cast<std::int64_t>(piece.size());
    return size;
}

bool CompressedBody::WriteTo(platform::AtomicFile& out) const {
    if (spill_) {
        if (!spill_->Seek(0)) return false;
        std::string buffer(std::size_t(1) << 20, '\0');
        std::int64_t left = spilledBytes_;
        while (left > 0) {
            const std::int64_t got =
                spill_->Read(buffer.data(), static_cast<std::size_t>(std::min<std::int64_t>(left, buffer.size())));
            if (got <= 0 || !out.Write(buffer.data(), static_cast<std::size_t>(got))) return false;
            left -= got;
        }
    }
    for (const std::string& piece : pieces_)
        if (!out.Write(piece)) return false;
    return true;
}

std::string CompressedBody::ToString() const {
    std::string joined;
    joined.reserve(static_cast<std::size_t>(Size()));
    if (spill_ && spill_->Seek(0)) {
        joined.resize(static_cast<std::size_t>(spilledBytes_));
        std::size_t at = 0;
        while (at < joined.size()) {
            const std::int64_t got = spill_->Read(joined.data() + at, joined.size() - at);
            if (got <= 0) throw TandrelError("the snapshot body could not be read back");
            at += static_cast<std::size_t>(got);
        }
    }
    for (const std::string& piece : pieces_) joined += piece;
    return joined;
}

// ---------------------------------------------------------------------------
// Reader

struct SnapshotLineReader::Impl {
    enum class Source { Text, Compressed, Lines };
    Source source = Source::Text;

    // Text and Compressed: the lines live in buffer[pos, end).
    std::string buffer;
    std::size_t pos = 0;
    std::size_t end = 0;
    bool bomChecked = false;

    // Compressed only.
    std::string input;
    z_stream stream{};
    bool streamOpen = false;
    bool streamEnded = false;

    // Lines only.
    TStringList lines;
    std::size_t lineIdx = 0;

    // The line Next returned last, for StepBack.
    std::string_view current;
    bool haveCurrent = false;
    bool replay = false;
    std::int64_t lineIndex = 0;

    std::string error;

    ~Impl() { CloseStream(); }

    void CloseStream() {
        if (streamOpen) inflateEnd(&stream);
        streamOpen = false;
    }

    void Restart() {
        pos = 0;
        bomChecked = false;
        lineIdx = 0;
        current = {};
        haveCurrent = false;
        replay = false;
        lineIndex = 0;
        error.clear();
        if (source == Source::Compressed) {
            end = 0;
            streamEnded = false;
            CloseStream();
            stream = z_stream{};
            if (inflateInit2(&stream, MAX_WBITS) != Z_OK) {
                error = "compressed body cannot be read: zlib could not start";
                return;
            }
            streamOpen = true;
            if (buffer.size() < kReadStep) buffer.resize(kReadStep);
        } else if (source == Source::Text) {
            end = buffer.size();
        }
    }

    bool AtStreamEnd() const { return source != Source::Compressed || streamEnded || !error.empty(); }

    // Inflates more text into the buffer; false when nothing more can come.
    bool Refill() {
        // Called with no line end in [pos, end): that is one unfinished line.
        if (source == Source::Compressed && error.empty() && end - pos > kMaxLineBytes) {
            error = "compressed body holds a line longer than " + std::to_string(kMaxLineBytes >> 20) + " MB";
            return false;
        }
        if (AtStreamEnd()) return false;
        // Keep the unread part, drop what was read.
        if (pos > 0) {
            std::memmove(buffer.data(), buffer.data() + pos, end - pos);
            end -= pos;
            pos = 0;
        }
        if (buffer.size() - end < kReadStep / 2) buffer.resize(std::max(buffer.size() * 2, end + kReadStep));
        while (true) {
            std::size_t consumedBefore = stream.total_in;
            std::size_t inLeft = input.size() - consumedBefore;
            std::size_t room = std::min(buffer.size() - end, kMaxZlibStep);
            stream.next_in = reinterpret_cast<Bytef*>(input.data() + consumedBefore);
            stream.avail_in = static_cast<uInt>(std::min(inLeft, kMaxZlibStep));
            stream.next_out = reinterpret_cast<Bytef*>(buffer.data() + end);
            stream.avail_out = static_cast<uInt>(room);
            int result = inflate(&stream, Z_NO_FLUSH);
            std::size_t produced = room - stream.avail_out;
            std::size_t consumed = stream.total_in - consumedBefore;
            end += produced;
            if (result == Z_STREAM_END) {
                streamEnded = true;
                return true;
            }
            if (result == Z_DATA_ERROR || result == Z_NEED_DICT || result == Z_STREAM_ERROR || result == Z_MEM_ERROR) {
                error = "compressed body is damaged";
                return false;
            }
            if (produced > 0) return true;
            if (consumed == 0 && stream.total_in < input.size()) {
                error = "compressed body is damaged";
                return false;
            }
            if (stream.total_in == input.size()) {
                error = "compressed body is truncated";
                return false;
            }
        }
    }

    void SkipBom() {
        while (!bomChecked) {
            if (end - pos >= kUtf8Bom.size() || AtStreamEnd()) {
                if (std::string_view(buffer.data() + pos, end - pos).starts_with(kUtf8Bom)) pos += kUtf8Bom.size();
                bomChecked = true;
            } else if (!Refill()) {
                bomChecked = true;
            }
        }
    }

    bool NextFromBuffer(std::string_view& line) {
        SkipBom();
        while (true) {
            const char* base = buffer.data();
            const char* start = base + pos;
            std::size_t avail = end - pos;
            const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
            std::size_t searchCr = lf ? static_cast<std::size_t>(lf - start) : avail;
            const char* cr = static_cast<const char*>(std::memchr(start, '\r', searchCr));
            if (cr) {
                std::size_t crAt = static_cast<std::size_t>(cr - base);
                if (crAt + 1 < end || AtStreamEnd()) {
                    line = std::string_view(start, crAt - pos);
                    pos = crAt + 1;
                    if (pos < end && base[pos] == '\n') ++pos;
                    return true;
                }
                // CR at the end of what is inflated so far: an LF may follow.
            } else if (lf) {
                line = std::string_view(start, static_cast<std::size_t>(lf - start));
                pos = static_cast<std::size_t>(lf - base) + 1;
                return true;
            }
            if (!Refill()) {
                // A damaged stream cuts the last line short: it is not handed out.
                if (!error.empty() || pos == end) return false;
                line = std::string_view(buffer.data() + pos, end - pos);
                pos = end;
                return true;
            }
        }
    }

    bool Next(std::string_view& line) {
        if (replay) {
            replay = false;
            line = current;
            ++lineIndex;
            return true;
        }
        bool got = false;
        if (source == Source::Lines) {
            if (lineIdx < lines.size()) {
                line = lines[lineIdx++];
                got = true;
            }
        } else {
            got = NextFromBuffer(line);
        }
        haveCurrent = got;
        if (got) {
            current = line;
            ++lineIndex;
        }
        return got;
    }
};

SnapshotLineReader::SnapshotLineReader() : impl_(std::make_unique<Impl>()) { impl_->Restart(); }
SnapshotLineReader::~SnapshotLineReader() = default;
SnapshotLineReader::SnapshotLineReader(SnapshotLineReader&&) noexcept = default;
SnapshotLineReader& SnapshotLineReader::operator=(SnapshotLineReader&&) noexcept = default;

SnapshotLineReader SnapshotLineReader::FromCompressed(std::string compressed) {
    SnapshotLineReader reader;
    reader.impl_->source = Impl::Source::Compressed;
    reader.impl_->input = std::move(compressed);
    reader.impl_->Restart();
    return reader;
}

SnapshotLineReader SnapshotLineReader::FromText(std::string utf8Text) {
    SnapshotLineReader reader;
    reader.impl_->source = Impl::Source::Text;
    reader.impl_->buffer = std::move(utf8Text);
    reader.impl_->Restart();
    return reader;
}

SnapshotLineReader SnapshotLineReader::FromLines(const TStringList& lines) {
    SnapshotLineReader reader;
    reader.impl_->source = Impl::Source::Lines;
    reader.impl_->lines = lines;
    if (!reader.impl_->lines.empty() && reader.impl_->lines[0].starts_with(kUtf8Bom))
        reader.impl_->lines[0].erase(0, kUtf8Bom.size());
    reader.impl_->Restart();
    return reader;
}

bool SnapshotLineReader::Next(std::string_view& line) {
    if (!impl_) return false;
    return impl_->Next(line);
}

void SnapshotLineReader::StepBack() {
    if (!impl_ || !impl_->haveCurrent || impl_->replay) return;
    impl_->replay = true;
    --impl_->lineIndex;
}

void SnapshotLineReader::Rewind() {
    if (impl_) impl_->Restart();
}

std::int64_t SnapshotLineReader::LineIndex() const { return impl_ ? impl_->lineIndex : 0; }

bool SnapshotLineReader::Failed() const { return impl_ && !impl_->error.empty(); }

const std::string& SnapshotLineReader::Error() const {
    static const std::string none;
    return impl_ ? impl_->error : none;
}

void SeekSectionStart(SnapshotLineReader& reader) {
    reader.Rewind();
    std::string_view line;
    if (!reader.Next(line) || !line.starts_with('|')) {
        if (!reader.Failed()) reader.Rewind();
        return;
    }
    do {
        if (line == "|files.v2|") return;
    } while (reader.Next(line));
    // No marker: the lines are the section itself. A broken stream stays
    // failed so that the caller sees why nothing came.
    if (!reader.Failed()) reader.Rewind();
}

}  // namespace tandrel
