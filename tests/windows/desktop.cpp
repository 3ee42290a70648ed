#include "desktop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

extern char** environ;

namespace zenor9::testing {

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> Fields(const std::string& line) {
  std::map<std::string, std::string> fields;
  std::stringstream parts(line);
  for (std::string part; std::getline(parts, part, '\t');) {
    const auto equals = part.find('=');
    if (equals != std::string::npos) fields[part.substr(0, equals)] = part.substr(equals + 1);
  }
  return fields;
}

Box BoxOf(const std::string& text) {
  Box box;
  std::sscanf(text.c_str(), "%d,%d,%d,%d", &box.x, &box.y, &box.width, &box.height);
  return box;
}

// This process's environment with DISPLAY set to `display`.
std::vector<std::string> EnvironmentWith(const std::string& display) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string(*entry).rfind("DISPLAY=", 0) != 0) environment.emplace_back(*entry);
  }
  environment.push_back("DISPLAY=" + display);
  return environment;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            int displayFd = -1) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const std::string& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (displayFd >= 0) posix_spawn_file_actions_adddup2(&actions, displayFd, 3);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Xvfb writes its display number to the descriptor given with -displayfd once
// it accepts clients.
std::string StartXvfb(pid_t& pid) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  pid = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
              EnvironmentWith(""), pipeFds[1]);
  ::close(pipeFds[1]);
  std::string number;
  pollfd fd{pipeFds[0], POLLIN, 0};
  char c = 0;
  while (::poll(&fd, 1, 20000) > 0 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(pipeFds[0]);
  return number.empty() ? std::string() : ":" + number;
}

std::string ExeBeside(const std::string& exe, const std::string& name) {
  return (fs::path(exe).parent_path() / name).string();
}

}  // namespace

bool Box::Contains(const Box& inner) const {
  return inner.x >= x && inner.y >= y && inner.x + inner.width <= x + width &&
         inner.y + inner.height <= y + height;
}

const ControlState& WindowState::Control(int id) const {
  for (const ControlState& control : controls) {
    if (control.id == id) return control;
  }
  ADD_FAILURE() << "no control " << id << " in \"" << title << "\"";
  static const ControlState missing;
  return missing;
}

bool WindowState::Has(int id) const {
  for (const ControlState& control : controls) {
    if (control.id == id) return true;
  }
  return false;
}

std::vector<WindowState> ParseInspection(const std::string& text) {
  std::vector<WindowState> windows;
  std::stringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string kind = line.substr(0, line.find('\t'));
    auto fields = Fields(line);
    if (kind == "window") {
      WindowState window;
      window.hwnd = fields["hwnd"];
      window.className = fields["class"];
      window.title = fields["title"];
      window.client = BoxOf(fields["client"]);
      window.frame = BoxOf(fields["frame"]);
      window.enabled = fields["enabled"] == "1";
      window.foreground = fields["foreground"] == "1";
      window.owner = fields["owner"];
      window.focus = std::atoi(fields["focus"].c_str());
      windows.push_back(window);
    } else if (kind == "control" && !windows.empty()) {
      ControlState control;
      control.id = std::atoi(fields["id"].c_str());
      control.className = fields["class"];
      control.text = fields["text"];
      control.enabled = fields["enabled"] == "1";
      control.visible = fields["visible"] == "1";
      control.checked = fields["checked"];
      control.rect = BoxOf(fields["rect"]);
      windows.back().controls.push_back(control);
    } else if (kind == "button" && !windows.empty()) {
      windows.back().toolButtons[std::atoi(fields["id"].c_str())] = fields["enabled"] == "1";
    }
  }
  return windows;
}

Desktop::Desktop(bool windowManager, std::string shots)
    : windowManager_(windowManager), shots_(std::move(shots)) {
  if (!wine_.Missing().empty()) {
    problem_ = wine_.Missing();
    return;
  }
  inspector_ = ExeBeside(wine_.Exe(), "window_inspector.exe");
  fs::create_directories(shots_);
  display_ = StartXvfb(xvfb_);
  if (display_.empty()) {
    problem_ = "Xvfb did not start";
    return;
  }
  if (windowManager_) {
    openbox_ = Spawn({"openbox"}, EnvironmentWith(display_));
    // Openbox has taken over once the root window names it as the manager.
    for (int i = 0;
         i < 200 && Run({"sh", "-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window"}) != 0;
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // A Wine session of its own, drawn on this display: one started headless
  // (the command-line tests') would keep its desktop off any display.
  Run({"wineserver", "-k"});
  Run({"wineserver", "-w"});
}

Desktop::~Desktop() {
  if (dpiChanged_) SetDpi(96);
  Run({"wineserver", "-k"});
  Run({"wineserver", "-w"});
  for (pid_t pid : {openbox_, xvfb_}) {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
}

bool Desktop::SetDpi(int dpi) {
  dpiChanged_ = dpi != 96;
  const ChildResult result =
      wine_.RunOnDisplay("reg",
                         {"add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                          "REG_DWORD", "/d", std::to_string(dpi), "/f"},
                         display_);
  return result.exitCode == 0;
}

pid_t Desktop::StartProgram() {
  const std::string output = shots_ + "/program";
  return wine_.StartOnDisplay(ExeBeside(wine_.Exe(), "zenor9-prefix.exe"), {}, display_, output);
}

int Desktop::WaitForProgramEnd(pid_t pid, int timeoutMs) {
  return Wine::WaitForEnd(pid, timeoutMs);
}

std::vector<WindowState> Desktop::Windows() const {
  return ParseInspection(wine_.RunOnDisplay(inspector_, {"list"}, display_).out);
}

std::optional<WindowState> Desktop::WaitFor(const std::string& title, int timeoutMs) const {
  const ChildResult result =
      wine_.RunOnDisplay(inspector_, {"wait", title, std::to_string(timeoutMs)}, display_);
  for (const WindowState& window : ParseInspection(result.out)) {
    if (window.title == title) return window;
  }
  return std::nullopt;
}

bool Desktop::WaitGone(const std::string& title, int timeoutMs) const {
  return wine_.RunOnDisplay(inspector_, {"gone", title, std::to_string(timeoutMs)}, display_)
             .exitCode == 0;
}

std::optional<WindowState> Desktop::WaitUntil(
    const std::string& title, const std::function<bool(const WindowState&)>& condition,
    int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    for (const WindowState& window : Windows()) {
      if (window.title == title && condition(window)) return window;
    }
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

void Desktop::Click(const WindowState& window, int x, int y, double scale) const {
  const int screenX = window.client.x + static_cast<int>(x * scale + 0.5);
  const int screenY = window.client.y + static_cast<int>(y * scale + 0.5);
  Run({"xdotool", "mousemove", "--sync", std::to_string(screenX), std::to_string(screenY), "click",
       "1"});
}

void Desktop::Hover(const WindowState& window, int x, int y) const {
  Run({"xdotool", "mousemove", "--sync", std::to_string(window.client.x + x),
       std::to_string(window.client.y + y)});
}

std::string Desktop::WaitForToolTip(const std::string& start, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    for (const WindowState& window : Windows()) {
      if (window.className == "tooltips_class32" && window.title.rfind(start, 0) == 0) {
        return window.title;
      }
    }
  } while (std::chrono::steady_clock::now() < deadline);
  return {};
}

void Desktop::PointAt(const WindowState& window) const {
  // Inside the client area, on no control that a key could reach by accident.
  Run({"xdotool", "mousemove", "--sync", std::to_string(window.client.x + window.client.width - 3),
       std::to_string(window.client.y + window.client.height - 3)});
}

void Desktop::Key(const WindowState& window, const std::string& keys) const {
  PointAt(window);
  std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
  std::stringstream names(keys);
  for (std::string name; names >> name;) argv.push_back(name);
  Run(argv);
}

void Desktop::Type(const WindowState& window, const std::string& text) const {
  PointAt(window);
  Run({"xdotool", "type", "--delay", "80", text});
}

void Desktop::ClickCloseBox(const WindowState& window) const {
  // Openbox's frame is the X parent of the window Wine made for the client
  // area; its theme puts the close box at the right end of the title bar,
  // about 12 pixels in from the frame's top-right corner.
  const std::string file = shots_ + "/frame.txt";
  const std::string command =
      "id=$(xdotool search --onlyvisible --name \"$0\" | head -1); "
      "parent=$(xwininfo -tree -id $id | sed -n 's/^  Parent window id: "
      "\\(0x[0-9a-f]*\\).*/\\1/p'); "
      "xwininfo -id $parent | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} "
      "/Width:/ {w=$2} END {print x+w, y}' > \"$1\"";
  Run({"sh", "-c", command, window.title, file});
  int right = window.frame.x + window.frame.width;
  int top = window.frame.y;
  if (FILE* in = std::fopen(file.c_str(), "r")) {
    if (std::fscanf(in, "%d %d", &right, &top) != 2) right = window.frame.x + window.frame.width;
    std::fclose(in);
  }
  Run({"xdotool", "mousemove", "--sync", std::to_string(right - 12), std::to_string(top + 10),
       "click", "1"});
}

std::string Desktop::Shot(const std::string& name) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d-", ++shotCount_);
  lastShot_ = shots_ + "/" + number + name + ".png";
  Run({"import", "-window", "root", lastShot_});
  return lastShot_;
}

std::string Desktop::MeanColour(const Box& area) const {
  const std::string file = shots_ + "/colour.txt";
  char crop[64];
  std::snprintf(crop, sizeof crop, "%dx%d+%d+%d", area.width, area.height, area.x, area.y);
  Run({"sh", "-c",
       "convert \"$0\" -crop \"$1\" -scale '1x1!' -format "
       "'%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info: > \"$2\"",
       lastShot_, crop, file});
  std::string colour;
  if (FILE* in = std::fopen(file.c_str(), "r")) {
    char buffer[64] = {};
    if (std::fgets(buffer, sizeof buffer, in) != nullptr) colour = buffer;
    std::fclose(in);
  }
  return colour;
}

int Desktop::Run(const std::vector<std::string>& argv) const {
  const pid_t pid = Spawn(argv, EnvironmentWith(display_));
  if (pid < 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zenor9::testing
