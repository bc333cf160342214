#include "profile/text_form.h"

#include <cstdint>

namespace qv::profile {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUnit(std::string& out, std::uint32_t unit, bool big_endian) {
  const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
  out.push_back(big_endian ? hi : lo);
  out.push_back(big_endian ? lo : hi);
}

bool IsSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// One character of UTF-8 at text[i]: its code point and length, or length 0
// when the bytes there form none. Encoded surrogates are accepted here.
std::uint32_t DecodeOne(std::string_view text, std::size_t i, std::size_t& length) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  length = 0;
  std::size_t n;
  std::uint32_t c;
  if (b < 0x80) {
    length = 1;
    return b;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2, c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, c = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms and code points beyond Unicode are not characters.
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF))) return 0;
  length = n;
  return c;
}

}  // namespace

TextForm DetectTextForm(std::string_view bytes, std::size_t& bom_size) {
  for (auto [bom, form] : {std::pair{kUtf8Bom, TextForm::kUtf8Bom}, std::pair{kUtf16LeBom, TextForm::kUtf16Le},
                           std::pair{kUtf16BeBom, TextForm::kUtf16Be}}) {
    if (bytes.starts_with(bom)) {
      bom_size = bom.size();
      return form;
    }
  }
  bom_size = 0;
  return TextForm::kAnsi;
}

bool HasUtf32Bom(std::string_view bytes) {
  return bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4)) ||
         bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4));
}

std::string_view ByteOrderMark(TextForm form) {
  switch (form) {
    case TextForm::kUtf8Bom: return kUtf8Bom;
    case TextForm::kUtf16Le: return kUtf16LeBom;
    case TextForm::kUtf16Be: return kUtf16BeBom;
    case TextForm::kAnsi: break;
  }
  return {};
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const std::uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, u);  // an unpaired surrogate keeps its own three bytes
  }
  return out;
}

std::string Utf8ToUtf16(std::string_view text, bool big_endian) {
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length;
    std::uint32_t c = DecodeOne(text, i, length);
    if (length == 0) {
      c = 0xFFFD;
      length = 1;
    }
    if (c >= 0x10000) {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10), big_endian);
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), big_endian);
    } else {
      AppendUnit(out, c, big_endian);
    }
    i += length;
  }
  return out;
}

bool IsStrictUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length;
    const std::uint32_t c = DecodeOne(text, i, length);
    if (length == 0 || IsSurrogate(c)) return false;
    i += length;
  }
  return true;
}

std::string WithoutSurrogates(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length;
    const std::uint32_t c = DecodeOne(text, i, length);
    if (length == 0) length = 1;
    if (IsSurrogate(c)) {
      out.append(kReplacement);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace qv::profile
