#include "platform/codepage.h"

#include <windows.h>

#include <climits>

namespace qv::platform {

namespace {

int Length(std::size_t size) { return size > INT_MAX ? -1 : static_cast<int>(size); }

}  // namespace

unsigned AnsiCodePage() { return GetACP(); }

bool IsLeadByte(unsigned code_page, unsigned char byte) {
  return code_page != kUtf8CodePage && IsDBCSLeadByteEx(code_page, byte) != 0;
}

std::string CodePageToUtf8(unsigned code_page, std::string_view text) {
  const int size = Length(text.size());
  if (size <= 0) return {};
  const int wide = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, utf16.data(), wide);
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

std::optional<std::string> Utf8ToCodePage(unsigned code_page, std::string_view text) {
  const int size = Length(text.size());
  if (size < 0) return std::nullopt;
  if (size == 0) return std::string();
  const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wide <= 0) return std::nullopt;
  std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, utf16.data(), wide);
  // No best-fit stand-ins ("ｱ" for a missing character), no default "?":
  // either every character has its own form or the text is refused.
  const bool utf = code_page == CP_UTF8 || code_page == CP_UTF7;
  const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used = utf ? nullptr : &used_default;
  const int n = WideCharToMultiByte(code_page, flags, utf16.data(), wide, nullptr, 0, nullptr, used);
  if (n <= 0 || used_default) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, utf16.data(), wide, out.data(), n, nullptr, used);
  if (used_default) return std::nullopt;
  return out;
}

}  // namespace qv::platform
