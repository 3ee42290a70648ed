// What COMn stands for. In this order: the environment variable ZENOR9_COMn; the
// user's map file (lines "COM1=/dev/serial/by-id/usb-FTDI_...", comments after
// '#'); the platform's default device. When the map has a say and cannot give
// a device (the file cannot be read, or COMn's only line in it is ignored),
// COMn stands for none: never for the default, which may be another register's
// line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "files/files.h"
#include "link/clock.h"
#include "portmap/map_file.h"

namespace zenor9::portmap {

inline constexpr int kHighestComNumber = 255;
// A larger file is no list of ports: it is refused unread.
inline constexpr std::uintmax_t kLargestMapFile = 64 * 1024;

enum class Source { Environment, MapFile, Default };

// "environment", "map file", "default".
const char* SourceName(Source source);

// Why the map gives COMn no device.
enum class MapFault { None, Unreadable, LineIgnored };

struct ComTarget {
  std::string device;  // empty when `fault` says why there is none
  Source source = Source::Default;
  MapFault fault = MapFault::None;
  std::string problem{};  // the fault in words, naming the file and the line
};

// A line of the map file that was ignored, and why.
struct MapProblem {
  int line = 0;  // from 1
  std::string what;
  int comNumber = 0;  // the COMn the line speaks of; 0 when it names none
};

struct ComMap {
  std::filesystem::path file;          // where it was read from; empty for a text
  std::map<int, std::string> devices;  // COM number to device
  std::vector<MapProblem> problems;
  std::string unreadable;  // why the file could not be read; empty when it was or is absent
};

// Reads the map; a line that cannot be read is skipped and listed in
// `problems`, the others still count. A UTF-8 byte-order mark (Notepad writes
// one) is skipped. A missing file is an empty map; one that exists but cannot
// be read (permission, a folder, not UTF-8, larger than kLargestMapFile, not a
// regular file) says why in `unreadable`.
ComMap ParseComMap(const std::string& text);
ComMap ReadComMap(const std::filesystem::path& file);

// The COM number of "COM7" (any case), 0 when the text names none in 1 to 255.
int ComNumberOfName(const std::string& name);

// COMn after the environment, then `map`, then the platform's default.
ComTarget ResolveCom(int number, const ComMap& map);
// The same with this user's map file.
ComTarget ResolveCom(int number);

// The map file's text with COMn standing for `device`: its first line for COMn
// replaced (a line of it that was ignored too), later ones dropped, else a line
// added at the end. All other lines, comments and blank lines stay as they were.
std::string WithMapping(const std::string& text, int number, const std::string& device);
// The text without any line for COMn, ignored ones included; the text as it
// is, byte for byte, when no line speaks of COMn.
std::string WithoutMapping(const std::string& text, int number);

// How a rewrite of the map file ended: Busy when another run held the map's
// lock for the whole wait.
enum class Rewrite { Written, Failed, Stopped, Busy };

// How long a rewrite waits for the map's lock while another run holds it.
struct LockWaitPolicy {
  std::function<bool()> stopRequested{};  // gives the wait up when it says so
  std::uint32_t limitMs = files::kLockWaitMs;
  Clock* clock = nullptr;  // the system clock when null
};

// Rewrites the map file as `change` makes its text, in one step and under a
// lock held from the read to the rename, so that rewrites at the same time all
// count; creates its folder. A map that is a link to one kept elsewhere stays a
// link. A change that leaves the text as it was writes nothing. While another
// process holds the lock the rewrite waits for it as `wait` says: Stopped when
// asked to stop, Busy with the reason after the limit, nothing written either
// way. Failed, with the reason, when the old map exists but cannot be read or
// the new one cannot be written; the map is then as it was. A map whose only
// fault is lines that are not UTF-8 text is rewritten when the change leaves
// fewer of them (removes or replaces one), so that a user can mend it line by
// line; a change that leaves as many, or adds one, is refused.
Rewrite RewriteMapFile(const std::filesystem::path& file,
                       const std::function<std::string(const std::string& text)>& change,
                       std::string& error, const LockWaitPolicy& wait = {});

}  // namespace zenor9::portmap
