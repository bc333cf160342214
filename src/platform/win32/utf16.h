// UTF-8 (the code base's text) to and from UTF-16 (the W APIs' text).
#pragma once

#include <string>

namespace qv::platform {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, int length);

}  // namespace qv::platform
