// POSIX: the system's error numbers are errno values.
#include "i18n/system_error.h"

namespace zenor9::i18n {

std::string SystemErrorText(unsigned long error) {
  return ErrnoText(static_cast<int>(error));
}

}  // namespace zenor9::i18n
