// What COMn stands for. In this order: the environment variable ZENOR9_COMn; the
// user's map file (lines "COM1=/dev/serial/by-id/usb-FTDI_...", comments after
// '#'); the platform's default device.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zenor9::portmap {

inline constexpr int kHighestComNumber = 255;

enum class Source { Environment, MapFile, Default };

// "environment", "map file", "default": a key for scripts, and for people through
// Tr().
const char* SourceName(Source source);

struct ComTarget {
  std::string device;
  Source source = Source::Default;
};

// A line of the map file that was ignored, and why.
struct MapProblem {
  int line = 0;      // from 1
  std::string what;  // in the language in use
};

struct ComMap {
  std::map<int, std::string> devices;  // COM number to device
  std::vector<MapProblem> problems;
};

// The map file of this user: $XDG_CONFIG_HOME/zenor9/ports (else
// ~/.config/zenor9/ports) on POSIX, %APPDATA%\zenor9\ports on Windows. Empty
// when neither the variable nor a home directory is known.
std::filesystem::path MapFilePath();

// Reads the map; a line that cannot be read is skipped and listed in
// `problems`, the others still count. A missing file is an empty map.
ComMap ParseComMap(const std::string& text);
ComMap ReadComMap(const std::filesystem::path& file);

// The COM number of "COM7" (any case), 0 when the text names none in 1 to 255.
int ComNumberOfName(const std::string& name);

// COMn after the environment, then `map`, then the platform's default.
ComTarget ResolveCom(int number, const ComMap& map);
// The same with this user's map file.
ComTarget ResolveCom(int number);

// The map file's text with COMn standing for `device`: its line replaced where
// it has one (later lines for COMn dropped), else a line added at the end. All
// other lines, comments and blank lines stay as they were.
std::string WithMapping(const std::string& text, int number, const std::string& device);
// The text without any line for COMn.
std::string WithoutMapping(const std::string& text, int number);

// Replaces the file with `text` in one step (a temporary file beside it, then a
// rename), creating its directory. False, with the reason, when it failed; the
// old file is then untouched.
bool ReplaceFile(const std::filesystem::path& file, const std::string& text, std::string& error);

}  // namespace zenor9::portmap
