#include "portmap/com_map.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <utility>

#include "files/files.h"
#include "i18n/system_error.h"
#include "i18n/text.h"
#include "link/clock.h"
#include "link/serial_port.h"

namespace zenor9::portmap {

using files::FileLock;
using files::FileText;
using files::PathText;
using files::ReadWholeFile;
using i18n::N_;
using i18n::Tr;

namespace fs = std::filesystem;

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The mark a text starts with (empty when none), and the text after it.
std::pair<std::string, std::string> SplitByteOrderMark(const std::string& text) {
  if (text.rfind(kByteOrderMark, 0) != 0) return {{}, text};
  return {kByteOrderMark, text.substr(3)};
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The number of lines of `text` that are not UTF-8 text, and the first of them
// (0 when every line is).
struct LinesNotUtf8 {
  int count = 0;
  int first = 0;
};

LinesNotUtf8 LinesNotUtf8Of(const std::string& text) {
  LinesNotUtf8 found;
  int number = 1;
  for (std::size_t start = 0; start < text.size(); ++number) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (!i18n::IsUtf8(std::string_view(text).substr(start, end - start))) {
      if (found.count++ == 0) found.first = number;
    }
    start = end + 1;
  }
  return found;
}

std::string NotUtf8Problem(const LinesNotUtf8& lines) {
  return Tr("line %s is not UTF-8 text", lines.first);
}

// The map file's text, refused as a whole when it is not UTF-8.
FileText ReadMapText(const fs::path& file) {
  FileText read = ReadWholeFile(file, kLargestMapFile);
  if (read.state != FileText::State::Read) return read;
  if (const LinesNotUtf8 lines = LinesNotUtf8Of(read.text); lines.count > 0) {
    return {FileText::State::Unreadable, {}, NotUtf8Problem(lines)};
  }
  return read;
}

// '#' at the start of a line or after a blank starts a comment; inside a word
// (a by-id name) it is part of the word.
std::string WithoutComment(const std::string& trimmed) {
  for (std::size_t at = trimmed.find('#'); at != std::string::npos;
       at = trimmed.find('#', at + 1)) {
    if (at == 0 || trimmed[at - 1] == ' ' || trimmed[at - 1] == '\t') return trimmed.substr(0, at);
  }
  return trimmed;
}

// What a line says once its comment and blanks are gone. A line without '='
// still speaks of the COMn its first word names ("COM3 /dev/ttyUSB0").
struct LineParts {
  std::string content;  // empty for comments and blank lines
  bool hasEquals = false;
  std::string name;
  std::string device;
  int number = 0;
};

LineParts PartsOf(const std::string& line) {
  LineParts parts;
  parts.content = Trimmed(WithoutComment(Trimmed(line)));
  const std::size_t equals = parts.content.find('=');
  parts.hasEquals = equals != std::string::npos;
  if (parts.hasEquals) {
    parts.name = Trimmed(parts.content.substr(0, equals));
    parts.device = Trimmed(parts.content.substr(equals + 1));
  } else {
    parts.name = parts.content.substr(0, parts.content.find_first_of(" \t"));
  }
  parts.number = ComNumberOfName(parts.name);
  return parts;
}

// Problems quote what the file holds, but not a whole overlong line.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  quoted += i18n::Abridged(text, 40);
  return quoted += '"';
}

// Why a line is ignored, empty when it maps its COMn. `lineOf` holds the lines
// that mapped a COMn before it.
std::string ProblemOf(const LineParts& parts, const std::map<int, int>& lineOf) {
  if (!parts.hasEquals) return Tr("no COMn=DEVICE in %s", Quoted(parts.content));
  if (parts.number == 0) return Tr("%s is not COM1 to COM255", Quoted(parts.name));
  if (parts.device.empty()) return Tr("%s names no device", parts.name);
  if (const auto earlier = lineOf.find(parts.number); earlier != lineOf.end()) {
    return Tr("COM%s is mapped already on line %s", parts.number, earlier->second);
  }
  return {};
}

std::string MapName(const ComMap& map) {
  return map.file.empty() ? std::string(Tr("the COM map"))
                          : Tr("the COM map %s", PathText(map.file));
}

// The first ignored line that speaks of COMn.
const MapProblem* IgnoredLineOf(int number, const ComMap& map) {
  for (const MapProblem& problem : map.problems) {
    if (problem.comNumber == number) return &problem;
  }
  return nullptr;
}

std::string MappingLine(int number, const std::string& device) {
  return "COM" + std::to_string(number) + "=" + device;
}

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

// A map kept elsewhere through a link is rewritten where it is kept.
fs::path WhereKept(const fs::path& file, std::string& error) {
  std::error_code code;
  fs::path target = file;
  if (fs::is_symlink(fs::symlink_status(file, code))) target = fs::weakly_canonical(file, code);
  if (target.empty()) error = PathText(file) + ": " + i18n::ErrorCodeText(code);
  return target;
}

// Takes the map's lock as `wait` says. Nothing once it is held; otherwise how
// the rewrite ends without it, and why.
std::optional<Rewrite> TakeLock(FileLock& lock, const fs::path& lockFile,
                                const LockWaitPolicy& wait, std::string& error) {
  Clock& clock = wait.clock != nullptr ? *wait.clock : SystemClock::Instance();
  switch (files::WaitForLock(lock, wait.limitMs, clock, wait.stopRequested)) {
    case files::LockWait::Held:
      return std::nullopt;
    case files::LockWait::Stopped:
      return Rewrite::Stopped;
    case files::LockWait::Busy:
      error = files::LockHeldText(lockFile, wait.limitMs);
      return Rewrite::Busy;
    case files::LockWait::Failed:
      break;
  }
  error = PathText(lockFile) + ": " + lock.Error();
  return Rewrite::Failed;
}

}  // namespace

const char* SourceName(Source source) {
  switch (source) {
    case Source::Environment:
      return N_("environment");
    case Source::MapFile:
      return N_("map file");
    case Source::Default:
      break;
  }
  return N_("default");
}

int ComNumberOfName(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  if (name[3] == '0') return 0;  // COM01 is no port name
  int number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number <= kHighestComNumber ? number : 0;
}

ComMap ParseComMap(const std::string& text) {
  ComMap map;
  std::map<int, int> lineOf;
  const std::vector<std::string> lines = LinesOf(SplitByteOrderMark(text).second);
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const int lineNumber = static_cast<int>(index) + 1;
    const LineParts parts = PartsOf(lines[index]);
    if (parts.content.empty()) continue;
    if (std::string what = ProblemOf(parts, lineOf); !what.empty()) {
      map.problems.push_back({lineNumber, std::move(what), parts.number});
      continue;
    }
    lineOf[parts.number] = lineNumber;
    map.devices[parts.number] = MappedDevice(parts.device);
  }
  return map;
}

ComMap ReadComMap(const fs::path& file) {
  if (file.empty()) return {};
  const FileText read = ReadMapText(file);
  ComMap map = read.state == FileText::State::Read ? ParseComMap(read.text) : ComMap{};
  map.file = file;
  if (read.state == FileText::State::Unreadable) map.unreadable = read.error;
  return map;
}

ComTarget ResolveCom(int number, const ComMap& map) {
  if (number < 1 || number > kHighestComNumber) return {};
  if (std::string device = EnvironmentComDevice(number); !device.empty()) {
    return {std::move(device), Source::Environment};
  }
  if (!map.unreadable.empty()) {
    return {{},
            Source::MapFile,
            MapFault::Unreadable,
            Tr("%s cannot be read: %s", MapName(map), map.unreadable)};
  }
  if (const auto found = map.devices.find(number); found != map.devices.end()) {
    return {found->second, Source::MapFile};
  }
  if (const MapProblem* ignored = IgnoredLineOf(number, map)) {
    return {{},
            Source::MapFile,
            MapFault::LineIgnored,
            Tr("line %s of %s is ignored: %s", ignored->line, MapName(map), ignored->what)};
  }
  return {DefaultComDevice(static_cast<uint8_t>(number)), Source::Default};
}

ComTarget ResolveCom(int number) {
  return ResolveCom(number, ReadComMap(MapFilePath()));
}

std::string WithMapping(const std::string& text, int number, const std::string& device) {
  const auto [mark, body] = SplitByteOrderMark(text);
  std::vector<std::string> lines;
  bool placed = false;
  for (const std::string& line : LinesOf(body)) {
    if (PartsOf(line).number != number) {
      lines.push_back(line);
    } else if (!placed) {
      lines.push_back(MappingLine(number, device));
      placed = true;
    }
  }
  if (!placed) lines.push_back(MappingLine(number, device));
  return mark + JoinedLines(lines);
}

std::string WithoutMapping(const std::string& text, int number) {
  const auto [mark, body] = SplitByteOrderMark(text);
  const std::vector<std::string> all = LinesOf(body);
  std::vector<std::string> lines;
  std::copy_if(all.begin(), all.end(), std::back_inserter(lines),
               [number](const std::string& line) { return PartsOf(line).number != number; });
  return lines.size() == all.size() ? text : mark + JoinedLines(lines);
}

Rewrite RewriteMapFile(const fs::path& file,
                       const std::function<std::string(const std::string& text)>& change,
                       std::string& error, const LockWaitPolicy& wait) {
  const fs::path target = WhereKept(file, error);
  if (target.empty()) return Rewrite::Failed;
  std::error_code code;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), code);
  if (code) {
    error = PathText(target.parent_path()) + ": " + i18n::ErrorCodeText(code);
    return Rewrite::Failed;
  }
  // The lock lives beside the name the user's programs use, where this user
  // may write, whatever a link leads to.
  fs::path lockFile = file;
  lockFile += ".lock";
  FileLock lock(lockFile);
  if (const std::optional<Rewrite> unlocked = TakeLock(lock, lockFile, wait, error)) {
    return *unlocked;
  }
  const FileText old = ReadWholeFile(target, kLargestMapFile);
  if (old.state == FileText::State::Unreadable) {
    error = Tr("%s cannot be read: %s", PathText(target), old.error);
    return Rewrite::Failed;
  }
  const std::string text = change(old.text);
  const LinesNotUtf8 before = LinesNotUtf8Of(old.text);
  if (const LinesNotUtf8 after = LinesNotUtf8Of(text);
      after.count > 0 && after.count >= before.count) {
    error = Tr("%s cannot be read: %s", PathText(target), NotUtf8Problem(after));
    return Rewrite::Failed;
  }
  // Nothing to change: the file stays byte for byte, and a missing one missing.
  if (text == old.text) return Rewrite::Written;
  return files::ReplaceDurably(target, text, error) ? Rewrite::Written : Rewrite::Failed;
}

}  // namespace zenor9::portmap
