// The forms a profile's text is stored in, and the conversions between the
// stored text and the UTF-8 the programs use. A UTF-16 file is held as
// UTF-8 in memory, with an unpaired surrogate kept as its three-byte form,
// so that every file converts back to exactly its own bytes.
#pragma once

#include <string>
#include <string_view>

namespace qv::profile {

enum class TextForm {
  kAnsi,     // the system's code page (CP932 on a Japanese Windows, UTF-8 on Linux)
  kUtf8Bom,  // UTF-8 behind a byte-order mark, as some editors save
  kUtf16Le,  // behind FF FE: what Notepad saves as "Unicode"
  kUtf16Be,  // behind FE FF
};

// The form the bytes announce, and the length of their byte-order mark.
TextForm DetectTextForm(std::string_view bytes, std::size_t& bom_size);
// Whether the bytes start with a UTF-32 byte-order mark (a form no profile
// service reads: such a file is never written over).
bool HasUtf32Bom(std::string_view bytes);
std::string_view ByteOrderMark(TextForm form);

// UTF-16 code units (an even number of bytes) as UTF-8, and back.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian);
std::string Utf8ToUtf16(std::string_view text, bool big_endian);

// Whether the text is UTF-8 with no encoded surrogate.
bool IsStrictUtf8(std::string_view text);
// The text with every encoded surrogate replaced by U+FFFD.
std::string WithoutSurrogates(std::string_view text);

bool IsAscii(std::string_view text);

}  // namespace qv::profile
