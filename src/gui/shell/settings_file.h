#pragma once
// The settings and session files of the desktop program: sections "[name]"
// followed by value lines, the escaping of values, the names of the files,
// the window-geometry line and the content comparison of two settings files.
// Free of Qt, so it can be tested and reused without a window.
#include <optional>
#include <string>
#include <string_view>

#include "common/types.h"

namespace tandrel {

// The section of the session file that holds the window geometry.
inline constexpr std::string_view kFormGeometrySection = "Form Position and Size";

// File names (no folder) derived from the executable's file name: a name
// ending in ".exe" (any case) has it replaced, any other gets the suffix.
struct SettingsFileNames {
    std::string settings;        // "Tandrel.exe" -> "Tandrel.ini"
    std::string session;         // "Tandrel.exe" -> "Tandrel.Session.ini"
    std::string legacyGeometry;  // "Tandrel.exe" -> "tandrel.positions.ini"
};
SettingsFileNames SettingsFileNamesFor(std::string_view exeFileName);

// Values are written with ">" in front of every line, so a line that would
// begin with "[" or be blank survives the section reader. Both ends of the
// whole value are trimmed; an empty value has no line at all.
std::string Escape(std::string_view value);
// Removes one leading ">" from every non-empty line that has one.
std::string Unescape(std::string_view text);

std::string SectionHeader(std::string_view name);  // "[" + name + "]"
// A line equal to the header exists (case matters).
bool HasSection(const TStringList& lines, std::string_view name);
// The value lines after the header up to the next line starting with "[",
// blank ones skipped, joined with CR LF and trimmed; "" when there is no
// such section.
std::string ReadSection(const TStringList& lines, std::string_view name);
// Appends the header and the value's lines (none for an empty value).
void AppendSection(TStringList& lines, std::string_view name, std::string_view value);
// Replaces the value lines of the first section of that name in place, or
// appends the section at the end.
void WriteSection(TStringList& lines, std::string_view name, std::string_view value);
// Section names of older versions of the program, renamed in header lines.
void ApplyLegacyRenames(TStringList& lines);

enum class SettingsRead { Missing, Read, Unreadable };
// The file's lines with up to 11 attempts, 200 ms apart. Missing and
// Unreadable both leave the list empty; the caller tells them apart, since
// an unreadable file still holds the user's values.
SettingsRead LoadSettingsLines(const std::string& file, TStringList& lines);
// UTF-8 with byte-order mark and CR LF, up to 11 attempts, 200 ms apart;
// false when no attempt wrote the whole file.
bool SaveSettingsLines(const TStringList& lines, const std::string& file);

// When the file is missing but one file of the folder has its name in
// another case (written by another version of the program), renames that
// file to the name given, through an intermediate name ending ".temp" so
// case-insensitive file systems take it too.
void AlignFileNameCase(const std::string& path);

// Same content for the program: value lines compared with their section
// header (and their place within the section), whatever the order of the
// sections; blank lines do not count.
bool SameSettingsContent(const TStringList& a, const TStringList& b);

struct GeometryRect {
    int left = 0, top = 0, width = 0, height = 0;
};

// "left,top,width,height,Normal" of a normal window, or "...,Max" with
// bounds inside the work area (a sixteenth of its width and an eighth of
// its height in from the edges) of a maximised one. Nothing when left or
// top is below -100 (a window parked off screen).
std::optional<std::string> EncodeGeometryLine(const GeometryRect& window, bool maximized, const GeometryRect& workArea);

// A geometry line read back. Left or top below -100 or not a number mean
// maximised; width and height are set only when they are numbers above 0.
struct StoredGeometry {
    bool maximized = false;
    bool hasPosition = false;  // left and top are numbers from -100 up
    int left = 0, top = 0;
    std::optional<int> width, height;
};
StoredGeometry DecodeGeometryLine(std::string_view line);

}  // namespace tandrel
