// The settings and session files: loaded as the program loads them, every
// section read back, legacy names renamed and the geometry line decoded.
#include "common/text_file.h"
#include "fuzz_support.h"
#include "gui/shell/settings_file.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = fuzz::FuzzPath("Tandrel.ini");
    fuzz::WriteInput(file, fuzz::Bytes(data, size));
    TStringList lines;
    FUZZ_CHECK(LoadSettingsLines(file, lines) == SettingsRead::Read);
    ApplyLegacyRenames(lines);
    FUZZ_CHECK(SameSettingsContent(lines, lines));

    int sections = 0;
    for (const std::string& line : lines) {
        if (line.size() < 2 || line.front() != '[' || line.back() != ']') continue;
        if (++sections > 64) break;
        const std::string name = line.substr(1, line.size() - 2);
        FUZZ_CHECK(HasSection(lines, name));
        Unescape(ReadSection(lines, name));
    }
    const std::string geometry = ReadSection(lines, kFormGeometrySection);
    DecodeGeometryLine(geometry);
    for (const std::string& line : TextToLines(geometry)) DecodeGeometryLine(line);

    // The file written back reads as the same settings.
    // A value written among what the file holds reads back unchanged.
    const std::string value = "[not a section]\r\n\r\nlast";
    TStringList written = lines;
    WriteSection(written, "Fuzz", Escape(value));
    FUZZ_CHECK(Unescape(ReadSection(written, "Fuzz")) == value);
    return 0;
}
