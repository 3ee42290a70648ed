// POSIX: the map file lives with the user's other settings, by the XDG rule.
#include <cstdlib>

#include "portmap/com_map.h"

namespace zenor9::portmap {

std::filesystem::path MapFilePath() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return std::filesystem::path(config) / "zenor9" / "ports";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::filesystem::path(home) / ".config" / "zenor9" / "ports";
  }
  return {};
}

}  // namespace zenor9::portmap
