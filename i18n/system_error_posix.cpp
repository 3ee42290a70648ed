// POSIX: the system's error numbers are errno values; the resolver's codes
// are its own (EAI_*).
#include <netdb.h>

#include <utility>

#include "i18n/system_error.h"
#include "i18n/text.h"

namespace zenor9::i18n {

namespace {

constexpr std::pair<int, const char*> kResolverTexts[] = {
    {EAI_NONAME, N_("no host has this name")},
    {EAI_NODATA, N_("the name has no address")},
    {EAI_AGAIN, N_("the name server did not answer; try again")},
    {EAI_FAIL, N_("the name server failed")},
    {EAI_MEMORY, N_("not enough memory")},
};

}  // namespace

std::string SystemErrorText(unsigned long error) {
  return ErrnoText(static_cast<int>(error));
}

std::string ResolverErrorText(int code) {
  for (const auto& [number, text] : kResolverTexts) {
    if (number == code) return Tr(text);
  }
  return Tr("resolver error %s", code);
}

}  // namespace zenor9::i18n
