// The register's bytes as text: its code page is 1251, so a cell byte above
// 0x7F stands for a Cyrillic letter or a sign.
#pragma once

#include <string>
#include <string_view>

namespace zenor9 {

// Each byte as one character, in UTF-8. The one byte that code page 1251
// leaves undefined (0x98) becomes U+0098, as Windows converts it.
std::string Cp1251ToUtf8(std::string_view bytes);

}  // namespace zenor9
