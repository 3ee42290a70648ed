// `zenor9 sim` on Windows: there are no pseudo-terminals to serve registers on.
#include <cstdio>

#include "cli/outcome.h"
#include "cli/virtual_register.h"

namespace zenor9::cli {

int RunVirtualRegister(const SimOptions& /*options*/) {
  std::fprintf(stderr, "%s\n",
               Tr("zenor9 sim: the virtual register needs pseudo-terminals and is not "
                  "available on Windows; run it on Linux"));
  return kExitUsage;
}

}  // namespace zenor9::cli
