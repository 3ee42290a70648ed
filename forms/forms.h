// The two windows as data, once for every front end: each control with its
// object name, kind, parent, place and size in pixels at 96 dpi, text, hint,
// tab order, initial state and range; each window with its caption, client
// size, frame, fonts and tool bar images. The Qt and the Win32 front ends
// build their widgets from these, so that the two programs cannot drift apart.
// No toolkit here: texts are UTF-8, images are named by resource.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zenor9::forms {

enum class Kind : uint8_t {
  Panel,        // a raised one-pixel bevel; its text on one line, centred
  ToolBar,      // flat; holds the tool buttons and dividers
  ToolButton,   // an image only, its hint as a tool tip; never takes the focus
  Divider,      // an etched vertical line in a gap between tool buttons
  SpinEdit,     // an integer field with a spin button at its right end
  Label,        // its lines as written, never wrapped
  ShadowLabel,  // opaque, its text over a one-pixel black shadow; sized to its text
  CheckBox,
  RadioButton,  // the radio buttons of one parent form one group
  PushButton,
};

// Whether a control of `kind` can take the keyboard focus.
bool TakesFocus(Kind kind);

// In the parent's client area, pixels at 96 dpi.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// A spin edit's bounds; a field whose minimum equals its maximum has no range.
struct SpinRange {
  int min = 0;
  int max = 0;
};

// A font by its face, its character height in pixels at 96 dpi and its weight.
struct Font {
  const char* face = "";
  int pixels = 0;
  bool bold = false;
};

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// The lettering of a control that does not take the window's font in the
// window text colour.
struct TextStyle {
  Font font{};
  Rgb colour{};
};

struct Control {
  const char* name = "";  // the object name, which the handlers know it by
  Kind kind = Kind::Label;
  const char* parent = nullptr;  // the name of the control that holds it; nullptr: the window
  Rect rect{};
  const char* text = "";  // what it shows; lines end in CR LF
  const char* hint = "";  // its tool tip; empty for none
  int tabOrder = -1;      // among its parent's controls; -1 for none
  bool tabStop = false;   // Tab stops at it (of a radio group, only at the first)
  bool enabled = true;
  bool checked = false;
  SpinRange range{};
  int image = -1;                    // index into the window's images; -1 for none
  const TextStyle* style = nullptr;  // nullptr: the window's font and text colour
};

// How a window is framed; neither can be resized.
enum class Frame : uint8_t {
  Main,    // a single border; a title bar with the system menu, close and minimise boxes
  Dialog,  // a dialog border; a title bar with its caption and no buttons at all
};

struct Form {
  const char* name = "";  // the window's object name
  const char* caption = "";
  int clientWidth = 0;
  int clientHeight = 0;
  Frame frame = Frame::Main;
  Font font{};                            // every control's, unless it has a style of its own
  const char* icon = nullptr;             // its title bar's icon by resource name; nullptr for none
  std::span<const char* const> images{};  // the tool bar's images by resource name, by index
  int imageSize = 0;                      // their width and height in pixels at 96 dpi
  std::span<const Control> controls{};    // each parent before the controls it holds
};

// The main window TMainForm and the set-up dialog TInit_Com.
const Form& MainForm();
const Form& InitCom();

// The control named `name` in `form`, or in either window; nullptr when there
// is none.
const Control* Find(const Form& form, std::string_view name);
const Control* Find(std::string_view name);

// Every control of `form` with each parent before the controls it holds, and
// the controls of one parent in tab order, those without one after them in
// the order they are listed: the order the keyboard focus goes round.
std::vector<const Control*> InTabOrder(const Form& form);

// The controls `parent` holds, as listed.
std::vector<const Control*> ChildrenOf(const Form& form, std::string_view parent);

}  // namespace zenor9::forms
