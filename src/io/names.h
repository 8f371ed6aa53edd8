// How the scene's names are shown and carried: one pair of quotes dropped, bytes outside
// printable ASCII as \xNN for people, UTF-8 (or Latin-1 made UTF-8) for documents.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sceneio {

inline constexpr char kLowerHexDigits[] = "0123456789abcdef";
inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// `name` without one pair of surrounding double quotes, when it has them.
std::string_view WithoutQuotes(std::string_view name);

// Appends `bytes` with every byte outside printable ASCII (0x20..0x7E) as \xNN, lower-case:
// a name cannot garble a terminal or a table's columns. Backslashes stay as they are.
void AppendShownBytes(std::string& out, std::string_view bytes);
std::string ShownBytes(std::string_view bytes);

// A name token as people see it: without its quotes, shown as above ("\"ball \xff\"" shows as
// ball \xff). scene-inspect prints names so, and scene-convert's --material takes them so.
std::string ShownName(std::string_view token);

// Length of the well-formed UTF-8 sequence at `at`, or 0: no overlong forms, no surrogates,
// nothing above U+10FFFF.
size_t Utf8SequenceAt(std::string_view text, size_t at);
bool IsUtf8(std::string_view text);
// Each byte read as one Latin-1 character.
std::string Latin1ToUtf8(std::string_view bytes);

}  // namespace sceneio
