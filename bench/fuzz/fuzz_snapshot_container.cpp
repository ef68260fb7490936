// The snapshot file as the scan job and the snapshot comparison open it:
// container, plain text or a bare zlib stream, read to the end of its lines.
#include "fuzz_support.h"
#include "scan/snapshot_file.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = fuzz::FuzzPath("input.snapshot");
    fuzz::WriteInput(file, fuzz::Bytes(data, size));

    SnapshotLineReader reader;
    std::string error;
    if (LoadExtendedVolume(file, reader, &error)) {
        std::string_view line;
        std::int64_t lines = 0;
        while (reader.Next(line)) {
            // Stepping back must give the same line again.
            if (++lines % 5 == 0) {
                const std::string again(line);
                reader.StepBack();
                FUZZ_CHECK(reader.Next(line) && line == again);
            }
        }
        const bool failed = reader.Failed();
        reader.Rewind();
        std::int64_t second = 0;
        while (reader.Next(line)) ++second;
        // A second pass reads the same lines.
        FUZZ_CHECK(reader.Failed() == failed && (failed || second == lines));
        SeekSectionStart(reader);
    } else {
        FUZZ_CHECK(!error.empty());
    }
    FindVolumeSeparator(file);
    TStringList list;
    LoadExtendedVolume(list, file);
    return 0;
}
