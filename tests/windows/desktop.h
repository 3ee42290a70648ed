// The window tests' desktop: an Xvfb server, with openbox or with no window
// manager, on which Wine draws the program's windows; real X input through
// xdotool; the windows read back through window_inspector.exe in the same
// Wine session; screenshots of each step.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wine.h"

namespace zenor9::testing {

struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Contains(const Box& inner) const;
};

// One control as the inspector saw it; rect relative to its window's client area.
struct ControlState {
  int id = 0;
  std::string className;
  std::string text;
  bool enabled = false;
  bool visible = false;
  std::string checked;  // "1", "0", or "-" for controls without a check mark
  Box rect;
};

// One visible top-level window; rectangles in screen (X root) coordinates.
struct WindowState {
  std::string hwnd;
  std::string className;
  std::string title;
  Box client;
  Box frame;
  bool enabled = false;
  bool foreground = false;
  std::string owner;
  int focus = 0;  // the identifier of the control with the keyboard focus
  std::vector<ControlState> controls;
  std::map<int, bool> toolButtons;  // tool button id to enabled

  // The control with identifier `id`; a failed test's message when missing.
  const ControlState& Control(int id) const;
  bool Has(int id) const;
};

// The inspector's lines as windows.
std::vector<WindowState> ParseInspection(const std::string& text);

class Desktop {
 public:
  // Starts Xvfb (and openbox when asked) and a fresh Wine session on it; the
  // screenshots go to `shots`.
  Desktop(bool windowManager, std::string shots);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Empty when the desktop is up; else what is missing.
  const std::string& Problem() const { return problem_; }
  const std::string& Display() const { return display_; }
  bool WindowManager() const { return windowManager_; }

  // Sets Wine's screen resolution (LogPixels) for programs started from now
  // on; the desktop sets it back to 96 when it ends.
  bool SetDpi(int dpi);

  // Starts zenor9-prefix.exe; its exit code comes from WaitForProgramEnd.
  pid_t StartProgram();
  int WaitForProgramEnd(pid_t pid, int timeoutMs);

  std::vector<WindowState> Windows() const;
  // The visible window titled `title`, once there (nothing after `timeoutMs`).
  std::optional<WindowState> WaitFor(const std::string& title, int timeoutMs = 30000) const;
  bool WaitGone(const std::string& title, int timeoutMs = 30000) const;
  // The window titled `title` once `condition` holds for it.
  std::optional<WindowState> WaitUntil(const std::string& title,
                                       const std::function<bool(const WindowState&)>& condition,
                                       int timeoutMs = 30000) const;

  // A left click at (x, y) of the window's client area, given at 96 dpi and
  // scaled by `scale`.
  void Click(const WindowState& window, int x, int y, double scale = 1.0) const;
  // Rests the pointer at (x, y) of the client area, at 96 dpi.
  void Hover(const WindowState& window, int x, int y) const;
  // The text of a tooltip shown that starts with `start`, once one is (empty
  // after `timeoutMs`). Tooltips answer WM_GETTEXT with the text they show.
  std::string WaitForToolTip(const std::string& start, int timeoutMs = 20000) const;
  // Keys (xdotool names, separated by blanks: "Return", "alt+F4", "End
  // BackSpace") and typed text, sent
  // with the pointer resting over `window`: with no window manager, X gives the
  // keys to the window under the pointer.
  void Key(const WindowState& window, const std::string& keys) const;
  void Type(const WindowState& window, const std::string& text) const;
  // The window manager's close box. With no window manager there is none:
  // Wine leaves the title bar to the manager it expects.
  void ClickCloseBox(const WindowState& window) const;
  // Saves the screen as shots/NN-name.png; returns the file.
  std::string Shot(const std::string& name);
  // The mean colour of a screen area in the last shot, as "r,g,b" (0-255).
  std::string MeanColour(const Box& area) const;

 private:
  void PointAt(const WindowState& window) const;
  int Run(const std::vector<std::string>& argv) const;

  bool windowManager_;
  std::string shots_;
  std::string display_;
  std::string problem_;
  std::string lastShot_;
  int shotCount_ = 0;
  bool dpiChanged_ = false;
  pid_t xvfb_ = -1;
  pid_t openbox_ = -1;
  Wine wine_;
  std::string inspector_;
};

}  // namespace zenor9::testing
