#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>

namespace qv::platform {

namespace {

// A converter per thread, kept for the next conversion between the same
// code pages (opening one costs more than most conversions).
iconv_t Converter(const std::string& to, const std::string& from) {
  struct Cached {
    std::string to, from;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    ~Cached() {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  thread_local Cached cached[2];
  Cached& slot = cached[to == "UTF-8" ? 0 : 1];
  if (slot.to != to || slot.from != from) {
    if (slot.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(slot.cd);
    slot.cd = iconv_open(to.c_str(), from.c_str());
    slot.to = to;
    slot.from = from;
  }
  if (slot.cd != reinterpret_cast<iconv_t>(-1)) iconv(slot.cd, nullptr, nullptr, nullptr, nullptr);  // initial state
  return slot.cd;
}

// One conversion through iconv; `lenient` puts U+FFFD for what cannot be
// converted (only sensible towards UTF-8), otherwise that fails.
std::optional<std::string> Convert(const std::string& to, const std::string& from, std::string_view text,
                                   bool lenient) {
  iconv_t cd = Converter(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  char buf[4096];
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  bool ok = true;
  while (in_left > 0) {
    char* dst = buf;
    std::size_t dst_left = sizeof buf;
    const std::size_t n = iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    if (n != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (!lenient) {
      ok = false;
      break;
    }
    out.append("\xEF\xBF\xBD");
    ++in;
    --in_left;
  }
  if (!ok) return std::nullopt;
  return out;
}

std::string IconvName(unsigned code_page) { return "CP" + std::to_string(code_page); }

}  // namespace

unsigned AnsiCodePage() { return kUtf8CodePage; }

bool IsLeadByte(unsigned code_page, unsigned char byte) {
  switch (code_page) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

std::string CodePageToUtf8(unsigned code_page, std::string_view text) {
  if (code_page == kUtf8CodePage) return std::string(text);
  return Convert("UTF-8", IconvName(code_page), text, true).value_or(std::string());
}

std::optional<std::string> Utf8ToCodePage(unsigned code_page, std::string_view text) {
  if (code_page == kUtf8CodePage) return std::string(text);
  return Convert(IconvName(code_page), "UTF-8", text, false);
}

}  // namespace qv::platform
