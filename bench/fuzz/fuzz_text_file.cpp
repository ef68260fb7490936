// The text loader (byte-order marks, UTF-8, Windows-1252, UTF-16) and the
// binary test, with the conversions' round trips.
#include "common/text_encoding.h"
#include "common/text_file.h"
#include "fuzz_support.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = fuzz::FuzzPath("input.txt");
    const std::string_view bytes = fuzz::Bytes(data, size);
    fuzz::WriteInput(file, bytes);

    TStringList lines;
    FUZZ_CHECK(LoadTextFile(lines, file));
    for (const std::string& line : lines) FUZZ_CHECK(IsValidUtf8(line) || HasUtf8Bom(file));
    IsBinaryFile(file);
    IsBinaryData(bytes);

    const std::string text = DecodeTextBytes(bytes);
    TextToLines(text);
    Utf16BeToUtf8(bytes);
    Utf8ToWindows1252(bytes);
    const std::string fromAnsi = Windows1252ToUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(fromAnsi) && Utf8ToWindows1252(fromAnsi) == bytes);
    const std::string fromUtf16 = Utf16LeToUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(fromUtf16));
    if (IsValidUtf8(bytes)) {
        FUZZ_CHECK(Utf16LeToUtf8(Utf8ToUtf16Le(bytes)) == bytes);
        FUZZ_CHECK(Utf16BeToUtf8(Utf8ToUtf16Be(bytes)) == bytes);
    }
    return 0;
}
