// UTF-8, the handlers' texts, and UTF-16, the W functions' texts.
#pragma once

#include <string>
#include <string_view>

namespace zenor9::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace zenor9::win32
