// The system's errors in the user's language. The system's own words (strerror,
// FormatMessage) are English or the system's language, whatever the user's:
// the errors this program meets are worded in the catalogue, each other one by
// its number.
#pragma once

#include <string>
#include <system_error>

namespace zenor9::i18n {

// An errno value, as the C library of either platform numbers it.
std::string ErrnoText(int error);

// The platform's own error number: errno on POSIX, GetLastError on Windows.
std::string SystemErrorText(unsigned long error);

// An error of the standard library (the file system's), of either category.
std::string ErrorCodeText(const std::error_code& code);

}  // namespace zenor9::i18n
