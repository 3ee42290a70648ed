// The window tests' desktop: the X display this process was started on (Xvfb,
// with openbox or with no window manager), where a Wine session of its own
// draws the program's windows; real X input through xdotool; the windows read
// back through window_inspector.exe in the same session; screenshots.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "wine.h"

namespace zenor9::testing {

struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Contains(const Box& inner) const {
    return inner.x >= x && inner.y >= y && inner.x + inner.width <= x + width &&
           inner.y + inner.height <= y + height;
  }
};

// One control as the inspector saw it; rect relative to its window's client area.
struct ControlState {
  int id = 0;
  std::string className;
  std::string text;
  bool enabled = false;
  std::string checked;  // "1", "0", or "-" for controls without a check mark
  Box rect;
  std::string selection;  // an edit control's "start,end", else "-"
};

// One visible top-level window; its client area in screen (X root) coordinates.
struct WindowState {
  std::string className;
  std::string title;
  Box client;
  bool enabled = false;
  bool foreground = false;
  int focus = 0;  // the identifier of the control with the keyboard focus
  std::vector<ControlState> controls;
  std::map<int, bool> toolButtons;  // tool button id to enabled

  // The control with identifier `id`; an empty one (id 0) when there is none.
  const ControlState& Control(int id) const {
    static const ControlState none;
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [id](const ControlState& control) { return control.id == id; });
    return found == controls.end() ? none : *found;
  }
};

// The inspector's lines (window_inspector.exe's format) as windows.
inline std::vector<WindowState> ParseInspection(const std::string& text) {
  const auto box = [](const std::string& text) {
    Box box;
    std::sscanf(text.c_str(), "%d,%d,%d,%d", &box.x, &box.y, &box.width, &box.height);
    return box;
  };
  std::vector<WindowState> windows;
  std::stringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> field;
    std::stringstream parts(line);
    for (std::string part; std::getline(parts, part, '\t');) {
      const auto equals = part.find('=');
      if (equals != std::string::npos) field[part.substr(0, equals)] = part.substr(equals + 1);
    }
    const std::string kind = line.substr(0, line.find('\t'));
    if (kind == "window") {
      windows.push_back({field["class"],
                         field["title"],
                         box(field["client"]),
                         field["enabled"] == "1",
                         field["foreground"] == "1",
                         std::atoi(field["focus"].c_str()),
                         {},
                         {}});
    } else if (kind == "control" && !windows.empty()) {
      windows.back().controls.push_back({std::atoi(field["id"].c_str()), field["class"],
                                         field["text"], field["enabled"] == "1", field["checked"],
                                         box(field["rect"]), field["selection"]});
    } else if (kind == "button" && !windows.empty()) {
      windows.back().toolButtons[std::atoi(field["id"].c_str())] = field["enabled"] == "1";
    }
  }
  return windows;
}

class Desktop {
 public:
  // A fresh Wine session on $DISPLAY; the screenshots go to `shots`.
  explicit Desktop(std::string shots) : shots_(std::move(shots)) {
    const char* display = std::getenv("DISPLAY");
    problem_ = wine_.Missing();
    if (problem_.empty() && (display == nullptr || *display == '\0')) {
      problem_ = "no X display: the window tests run under xvfb-run (make test-windows)";
    }
    if (!problem_.empty()) return;
    display_ = display;
    std::filesystem::create_directories(shots_);
    // A Wine session of its own, drawn on this display: one started headless
    // (the command-line tests') would keep its desktop off any display. It is
    // made whole before any program starts: a program and the inspector that
    // watches for its window, starting a session at once, have left the
    // program without a window for good. The server stays until the desktop
    // ends, so that each program and inspection joins this session.
    Run({"wineserver", "-k"});
    Run({"wineserver", "-w"});
    Run({"sh", "-c", "exec wineserver -p >/dev/null"});
    if (Inspect().exitCode != 0) problem_ = "no Wine session could be started on " + display_;
  }
  ~Desktop() {
    if (dpiChanged_) SetDpi(96);
    Run({"wineserver", "-k"});
    Run({"wineserver", "-w"});
  }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Empty when the desktop is up; else what is missing.
  const std::string& Problem() const { return problem_; }

  // Wine's screen resolution (LogPixels) for programs started from now on; set
  // back to 96 when the desktop ends.
  bool SetDpi(int dpi) {
    dpiChanged_ = dpi != 96;
    return wine_
               .RunOnDisplay("reg",
                             {"add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                              "REG_DWORD", "/d", std::to_string(dpi), "/f"},
                             display_)
               .exitCode == 0;
  }

  // Starts zenor9-prefix.exe; its exit code comes from Wine::WaitForEnd.
  pid_t StartProgram() const {
    return wine_.StartOnDisplay(Beside("zenor9-prefix.exe"), {}, display_, shots_ + "/program");
  }

  std::vector<WindowState> Windows() const { return ParseInspection(Inspect().out); }

  // A program of the Windows build folder, run in this session on this display.
  ChildResult RunBeside(const std::string& name) const {
    return wine_.RunOnDisplay(Beside(name), {}, display_);
  }

  // The first window for which `match` holds, once there is one (none after 30 s).
  std::optional<WindowState> WaitFor(const std::function<bool(const WindowState&)>& match) const {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    do {
      for (const WindowState& window : Windows()) {
        if (match(window)) return window;
      }
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
  }

  // True once no window is titled `title` (false after 30 s). An inspector
  // that did not run says nothing about what is gone.
  bool WaitGone(const std::string& title) const {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    do {
      const ChildResult inspection = Inspect();
      const std::vector<WindowState> windows = ParseInspection(inspection.out);
      if (inspection.exitCode == 0 &&
          std::none_of(windows.begin(), windows.end(),
                       [&](const WindowState& window) { return window.title == title; })) {
        return true;
      }
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  // A left click at (x, y) of the window's client area, given at 96 dpi and
  // scaled by `scale`; Hover rests the pointer there.
  void Click(const WindowState& window, int x, int y, double scale = 1.0) const {
    Pointer(window.client.x + static_cast<int>(x * scale + 0.5),
            window.client.y + static_cast<int>(y * scale + 0.5), {"click", "1"});
  }
  // The left button held down at (x, y) of the client area for `ms`.
  void Hold(const WindowState& window, int x, int y, int ms) const {
    Pointer(window.client.x + x, window.client.y + y,
            {"mousedown", "1", "sleep", std::to_string(ms / 1000.0), "mouseup", "1"});
  }
  void Hover(const WindowState& window, int x, int y) const {
    Pointer(window.client.x + x, window.client.y + y, {});
  }

  // Keys (xdotool names separated by blanks: "Return", "alt+F4") and typed
  // text, with the pointer resting over `window` on no control: with no window
  // manager, X gives the keys to the window under the pointer.
  void Key(const WindowState& window, const std::string& keys) const {
    Hover(window, window.client.width - 3, window.client.height - 3);
    std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
    std::stringstream names(keys);
    for (std::string name; names >> name;) argv.push_back(name);
    Run(argv);
  }
  void Type(const WindowState& window, const std::string& text) const {
    Hover(window, window.client.width - 3, window.client.height - 3);
    Run({"xdotool", "type", "--delay", "80", text});
  }

  // The window manager's close box. Openbox's frame is the X parent of the
  // window Wine made for the client area; its theme puts the close box at the
  // right end of the title bar, about 12 pixels in from the frame's top-right
  // corner.
  void ClickCloseBox(const WindowState& window) const {
    const std::string corner =
        Run({"sh", "-c",
             "id=$(xdotool search --onlyvisible --name \"$0\" | head -1); "
             "parent=$(xwininfo -tree -id $id | "
             "sed -n 's/^  Parent window id: \\(0x[0-9a-f]*\\).*/\\1/p'); "
             "xwininfo -id $parent | awk '/Absolute upper-left X/ {x=$4} "
             "/Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} END {print x+w, y}'",
             window.title});
    int right = 0;
    int top = 0;
    std::sscanf(corner.c_str(), "%d %d", &right, &top);
    Pointer(right - 12, top + 10, {"click", "1"});
  }

  // Saves the screen as shots/NN-name.png.
  void Shot(const std::string& name) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d-", ++shotCount_);
    lastShot_ = shots_ + "/" + number + name + ".png";
    Run({"import", "-window", "root", lastShot_});
  }
  // The mean colour of a screen area in the last shot, as "r,g,b" (0-255).
  std::string MeanColour(const Box& area) const {
    char crop[64];
    std::snprintf(crop, sizeof crop, "%dx%d+%d+%d", area.width, area.height, area.x, area.y);
    return Run({"convert", lastShot_, "-crop", crop, "-scale", "1x1!", "-format",
                "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]", "info:"});
  }

 private:
  static constexpr auto kWaitLimit = std::chrono::seconds(30);

  std::string Beside(const std::string& name) const {
    return (std::filesystem::path(wine_.Exe()).parent_path() / name).string();
  }
  ChildResult Inspect() const { return RunBeside("window_inspector.exe"); }

  // Moves the pointer to (x, y) of the screen, then does `then` there (xdotool
  // commands). xdotool's --sync waits for the pointer to move, and for about
  // 15 s when it is there already: it is asked for only when the pointer moves.
  void Pointer(int x, int y, std::vector<std::string> then) const {
    std::vector<std::string> argv{"xdotool", "mousemove"};
    if (pointer_ != std::pair{x, y}) argv.push_back("--sync");
    argv.insert(argv.end(), {std::to_string(x), std::to_string(y)});
    argv.insert(argv.end(), then.begin(), then.end());
    Run(argv);
    pointer_ = {x, y};
  }

  // A program of this machine on $DISPLAY, to its end: its standard output.
  static std::string Run(const std::vector<std::string>& argv) {
    std::string command;
    for (const std::string& arg : argv) {
      command += " '";
      for (const char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
      command += "'";
    }
    std::string text;
    if (FILE* out = ::popen((command + " </dev/null 2>/dev/null").c_str(), "r")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
      ::pclose(out);
    }
    return text;
  }

  std::string shots_;
  std::string display_;
  std::string problem_;
  std::string lastShot_;
  int shotCount_ = 0;
  bool dpiChanged_ = false;
  // Where this desktop last put the pointer; only its own runs move it.
  mutable std::optional<std::pair<int, int>> pointer_;
  Wine wine_;
};

}  // namespace zenor9::testing
