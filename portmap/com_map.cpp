#include "portmap/com_map.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "i18n/text.h"
#include "link/serial_port.h"

namespace zenor9::portmap {

using i18n::N_;
using i18n::Tr;

namespace fs = std::filesystem;

namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool IsCommentOrBlank(const std::string& trimmed) {
  return trimmed.empty() || trimmed.front() == '#';
}

// The COM number a line maps, 0 for comments, blank and unreadable lines.
int ComNumberOfLine(const std::string& line) {
  const std::string trimmed = Trimmed(line);
  const std::size_t equals = trimmed.find('=');
  if (IsCommentOrBlank(trimmed) || equals == std::string::npos) return 0;
  return ComNumberOfName(Trimmed(trimmed.substr(0, equals)));
}

// Problems quote what the file holds, but not a whole overlong line.
std::string Quoted(const std::string& text) {
  return "\"" + (text.size() > 40 ? text.substr(0, 40) + "..." : text) + "\"";
}

std::string MappingLine(int number, const std::string& device) {
  return "COM" + std::to_string(number) + "=" + device;
}

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
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
  const std::vector<std::string> lines = LinesOf(text);
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const int lineNumber = static_cast<int>(index) + 1;
    const std::string trimmed = Trimmed(lines[index]);
    if (IsCommentOrBlank(trimmed)) continue;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos) {
      map.problems.push_back({lineNumber, Tr("no COMn=DEVICE in %s", Quoted(trimmed))});
      continue;
    }
    const std::string name = Trimmed(trimmed.substr(0, equals));
    const std::string device = Trimmed(trimmed.substr(equals + 1));
    const int number = ComNumberOfName(name);
    if (number == 0) {
      map.problems.push_back({lineNumber, Tr("%s is not COM1 to COM255", Quoted(name))});
    } else if (device.empty()) {
      map.problems.push_back({lineNumber, Tr("%s names no device", name)});
    } else if (lineOf.count(number) > 0) {
      map.problems.push_back(
          {lineNumber, Tr("COM%s is mapped already on line %s", number, lineOf[number])});
    } else {
      lineOf[number] = lineNumber;
      map.devices[number] = device;
    }
  }
  return map;
}

ComMap ReadComMap(const fs::path& file) {
  if (file.empty()) return {};
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  return ParseComMap(std::string(std::istreambuf_iterator<char>(in), {}));
}

ComTarget ResolveCom(int number, const ComMap& map) {
  if (number < 1 || number > kHighestComNumber) return {};
  const std::string variable = "ZENOR9_COM" + std::to_string(number);
  if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') {
    return {device, Source::Environment};
  }
  if (const auto found = map.devices.find(number); found != map.devices.end()) {
    return {found->second, Source::MapFile};
  }
  return {DefaultComDevice(static_cast<uint8_t>(number)), Source::Default};
}

ComTarget ResolveCom(int number) {
  return ResolveCom(number, ReadComMap(MapFilePath()));
}

std::string WithMapping(const std::string& text, int number, const std::string& device) {
  std::vector<std::string> lines;
  bool placed = false;
  for (const std::string& line : LinesOf(text)) {
    if (ComNumberOfLine(line) != number) {
      lines.push_back(line);
    } else if (!placed) {
      lines.push_back(MappingLine(number, device));
      placed = true;
    }
  }
  if (!placed) lines.push_back(MappingLine(number, device));
  return JoinedLines(lines);
}

std::string WithoutMapping(const std::string& text, int number) {
  std::vector<std::string> lines;
  for (const std::string& line : LinesOf(text)) {
    if (ComNumberOfLine(line) != number) lines.push_back(line);
  }
  return JoinedLines(lines);
}

bool ReplaceFile(const fs::path& file, const std::string& text, std::string& error) {
  std::error_code code;
  // A map file that is a link to one kept elsewhere stays a link.
  fs::path target = file;
  if (fs::is_symlink(fs::symlink_status(file, code))) target = fs::weakly_canonical(file, code);
  if (target.empty()) {
    error = file.string() + ": " + code.message();
    return false;
  }
  code.clear();
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), code);
  if (code) {
    error = target.parent_path().string() + ": " + code.message();
    return false;
  }
  fs::path temporary = target;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      error = Tr("%s: cannot be written", temporary.string());
      fs::remove(temporary, code);
      return false;
    }
  }
  fs::rename(temporary, target, code);
  if (code) {
    error = target.string() + ": " + code.message();
    fs::remove(temporary, code);
    return false;
  }
  return true;
}

}  // namespace zenor9::portmap
