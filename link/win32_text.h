// Windows only: UTF-8, the program's own texts, and UTF-16, the texts of the W
// functions and of the command line, for every Windows file above the link.
#pragma once

#include <string>
#include <string_view>

namespace zenor9 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace zenor9
