// POSIX: the map file lives with the user's other settings, by the XDG rule;
// a device named without a folder is one under /dev.
#include <cstdlib>

#include "link/rfc2217_port.h"
#include "portmap/map_file.h"

namespace zenor9::portmap {

namespace fs = std::filesystem;

fs::path MapFilePath() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return fs::path(config) / "zenor9" / "ports";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".config" / "zenor9" / "ports";
  }
  return {};
}

std::string EnvironmentComDevice(int number) {
  const char* device = std::getenv(("ZENOR9_COM" + std::to_string(number)).c_str());
  return device != nullptr ? device : "";
}

std::string MappedDevice(const std::string& path) {
  if (IsRemoteDevice(path)) return path;
  return path.empty() || path.front() == '/' ? path : "/dev/" + path;
}

}  // namespace zenor9::portmap
