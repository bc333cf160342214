// Text in a Windows code page, and UTF-8. Settings files are stored in the
// system's ANSI code page on Windows (CP932 on a Japanese system) and in
// UTF-8 elsewhere; the programs work in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

inline constexpr unsigned kUtf8CodePage = 65001;

// The code page of "ANSI" text files: GetACP() on Windows, UTF-8 elsewhere.
unsigned AnsiCodePage();

// Whether `byte` begins a two-byte character in `code_page` (never in UTF-8
// or a single-byte code page). The byte after it is part of that character,
// even where it looks like an ASCII letter or "]".
bool IsLeadByte(unsigned code_page, unsigned char byte);

// Text in `code_page` as UTF-8; bytes that form no character become U+FFFD.
std::string CodePageToUtf8(unsigned code_page, std::string_view text);

// UTF-8 text in `code_page`; nullopt when the text is not UTF-8 or holds a
// character the code page lacks (never a stand-in such as "?").
std::optional<std::string> Utf8ToCodePage(unsigned code_page, std::string_view text);

}  // namespace qv::platform
