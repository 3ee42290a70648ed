// The two windows' controls as one table each: kind, parent, place and size in
// pixels at 96 dpi, text, and creation order (which is the tab order). The
// windows create their controls from these tables and scale every rectangle by
// their DPI.
#pragma once

#include <optional>
#include <span>

#include "handlers/view.h"

namespace zenor9::win32 {

inline constexpr int kBaseDpi = 96;

enum class Kind {
  Panel,        // a raised one-pixel bevel; holds controls
  StatusPanel,  // a panel showing its text centred, in the status font
  ToolBar,
  SpinEdit,  // an edit with a spin button at its right end
  Label,
  ShadowLabel,  // the footer notice: white text over a black shadow
  CheckBox,
  RadioButton,
  PushButton,
};

// Control identifiers, unique over both windows. None is 1 or 2 (IDOK,
// IDCANCEL), which the dialog manager sends for Enter and Escape.
enum ControlId : int {
  kNoParent = 0,
  // The main window.
  kToolPanel = 100,
  kToolBar,
  kPanel,
  kNetNumSpinEdit,
  kLabel1,
  kAutoDetectCheckBox,
  kUseCheckBox,
  kManualLabel,
  kVelmorSpinEdit,
  kPanelStatus,
  kPanel1,
  kRxLabel1,
  // Its tool bar buttons (command identifiers).
  kTbConnect = 200,
  kTbRead,
  kTbWrite,
  kTbExit,
  // The set-up dialog.
  kButton1 = 300,
  kButton3,
  kRadioButton1,
  kRadioButton2,
  kRadioButton3,
  kRadioButton4,
};
// A spin edit's spin button has the edit's identifier plus this.
inline constexpr int kSpinButtonIdOffset = 1000;

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

struct ControlLayout {
  int id;
  Kind kind;
  int parent;  // a ControlId, or kNoParent for the window itself
  Rect rect;   // at 96 dpi, in the parent's client area
  const wchar_t* text;
  bool tabStop;  // takes the focus with Tab
  bool group;    // starts a group of radio buttons
  bool checked = false;
  bool disabled = false;
};

struct ToolButtonInfo {
  int id;  // 0 for a divider
  int width;
  int image;  // index into the tool bar's images; -1 for a divider
  const wchar_t* hint;
};

struct WindowLayout {
  const wchar_t* caption;
  int clientWidth;
  int clientHeight;
  std::span<const ControlLayout> controls;
};

const WindowLayout& MainWindowLayout();
const WindowLayout& SetupDialogLayout();
std::span<const ToolButtonInfo> ToolButtons();

inline constexpr int kToolButtonWidth = 39;
inline constexpr int kToolButtonHeight = 38;
inline constexpr int kToolImageSize = 32;

// A length at 96 dpi as it is at `dpi`, rounded to the nearest pixel.
int Scale(int pixels, int dpi);
Rect Scale(const Rect& rect, int dpi);

// The control the handlers know by `control`, and back.
int IdOf(Control control);
std::optional<Control> ControlOf(int id);

// The layout of a control by identifier; nullptr when no window has it.
const ControlLayout* FindControl(int id);

}  // namespace zenor9::win32
