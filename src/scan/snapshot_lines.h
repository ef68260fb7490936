#pragma once
// The files section of a snapshot, line by line. A scan of millions of files
// writes one line per entry, so the writer keeps the body compressed (on a
// second thread) instead of holding the lines; the reader streams the body
// back without holding all of it either.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"

namespace tandrel {

// A finished compressed body: on disk in an unnamed temporary file when it
// grew big (a scan of millions of files), the rest in memory.
class CompressedBody {
public:
    CompressedBody();
    ~CompressedBody();
    CompressedBody(CompressedBody&&) noexcept;
    CompressedBody& operator=(CompressedBody&&) noexcept;

    std::int64_t Size() const;
    bool IsSpilled() const { return spilledBytes_ > 0; }
    // Appends the whole body to out; false when reading or writing fails.
    bool WriteTo(platform::AtomicFile& out) const;
    std::string ToString() const;

private:
    friend class SnapshotLinesWriter;
    std::unique_ptr<platform::File> spill_;
    std::int64_t spilledBytes_ = 0;
    std::vector<std::string> pieces_;
};

// Builds a body: UTF-8 with byte-order mark, every line ended by CR LF,
// compressed as one zlib stream (level 1, window bits 15). Beyond a few MB the
// compressed bytes go to an unnamed file in the cache folder, so a big scan
// does not hold its whole snapshot in memory.
class SnapshotLinesWriter {
public:
    SnapshotLinesWriter();
    ~SnapshotLinesWriter();
    SnapshotLinesWriter(const SnapshotLinesWriter&) = delete;
    SnapshotLinesWriter& operator=(const SnapshotLinesWriter&) = delete;

    // Starts a new, empty body (drops anything written before).
    void Clear();
    // Appends line + CR LF.
    void Add(std::string_view line);
    std::int64_t Count() const;
    // Ends the stream and hands over the compressed body; the writer is then empty.
    std::string TakeCompressed();
    // The same without joining it into one block of memory.
    CompressedBody TakeBody();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads the lines of a body: a zlib stream of UTF-8 text, or text already
// decoded. A leading byte-order mark is skipped; lines end at CR LF, CR or LF.
class SnapshotLineReader {
public:
    SnapshotLineReader();
    ~SnapshotLineReader();
    SnapshotLineReader(SnapshotLineReader&&) noexcept;
    SnapshotLineReader& operator=(SnapshotLineReader&&) noexcept;

    static SnapshotLineReader FromCompressed(std::string compressed);
    static SnapshotLineReader FromText(std::string utf8Text);
    static SnapshotLineReader FromLines(const TStringList& lines);

    // The next line (valid until the next call); false at the end or on a
    // broken stream (see Failed).
    bool Next(std::string_view& line);
    // The line Next returned last comes again at the following Next.
    void StepBack();
    // Back to the first line.
    void Rewind();
    // Lines returned so far (StepBack counts one down).
    std::int64_t LineIndex() const;
    // True when the zlib stream was truncated or corrupt; Error() says how.
    bool Failed() const;
    const std::string& Error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Positions the reader at the files section: when the first line starts with
// "|", after the first line equal to "|files.v2|" (from the start when there
// is none); otherwise from the start.
void SeekSectionStart(SnapshotLineReader& reader);

}  // namespace tandrel
