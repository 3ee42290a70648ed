// Where the map file lives and what its lines name, one file per platform.
#pragma once

#include <filesystem>
#include <string>

namespace zenor9::portmap {

// The map file of this user: $XDG_CONFIG_HOME/zenor9/ports (else
// ~/.config/zenor9/ports) on POSIX, %APPDATA%\zenor9\ports on Windows. Empty
// when neither the variable nor a home directory is known.
std::filesystem::path MapFilePath();

// The device a map line's path names. On POSIX a relative path is taken under
// /dev (ttyUSB0 is /dev/ttyUSB0), never under whatever folder a run starts in;
// on Windows a bare name (COM12) is a device name already and stays as it is.
// A remote line's address (rfc2217://HOST:PORT) stays as it is everywhere.
std::string MappedDevice(const std::string& path);

// The device that the environment variable ZENOR9_COMn names, in UTF-8 (on
// Windows read as UTF-16, whatever the ANSI code page); empty when it is unset
// or empty.
std::string EnvironmentComDevice(int number);

}  // namespace zenor9::portmap
