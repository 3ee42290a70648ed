// Windows: the map file lives in the user's roaming application data; the
// environment is read as UTF-16, whatever the ANSI code page.
#include <cstdlib>

#include "link/win32_text.h"
#include "portmap/map_file.h"

namespace zenor9::portmap {

namespace fs = std::filesystem;

fs::path MapFilePath() {
  if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData != nullptr && *appData != L'\0') {
    return fs::path(appData) / "zenor9" / "ports";
  }
  return {};
}

std::string EnvironmentComDevice(int number) {
  const wchar_t* device = ::_wgetenv((L"ZENOR9_COM" + std::to_wstring(number)).c_str());
  return device != nullptr ? Utf8(device) : "";
}

std::string MappedDevice(const std::string& path) {
  return path;
}

}  // namespace zenor9::portmap
