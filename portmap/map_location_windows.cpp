// Windows: the map file lives in the user's roaming application data.
#include <cstdlib>

#include "portmap/com_map.h"

namespace zenor9::portmap {

std::filesystem::path MapFilePath() {
  if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData != nullptr && *appData != L'\0') {
    return std::filesystem::path(appData) / "zenor9" / "ports";
  }
  return {};
}

}  // namespace zenor9::portmap
