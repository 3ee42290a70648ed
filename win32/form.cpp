#include "win32/form.h"

#include <commctrl.h>

#include <climits>
#include <utility>

#include "handlers/spin_field.h"
#include "link/win32_text.h"
#include "resource_ids.h"  // the application icon
#include "win32/control_ids.h"
#include "win32/dpi.h"
#include "win32/text_fit.h"

namespace zenor9::win32 {

namespace {

void RegisterFormClass(const wchar_t* name, WNDPROC procedure, bool withIcon) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, name, &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  if (withIcon) windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ZENOR9_APP_ICON));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
}

using forms::Kind;

// Neither frame can be resized. A dialog's has no title-bar button at all (no
// system menu, hence no close box).
DWORD StyleOf(forms::Frame frame) {
  return frame == forms::Frame::Dialog ? WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN
                                       : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
}

DWORD ExStyleOf(forms::Frame frame) {
  return frame == forms::Frame::Dialog ? WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT : 0;
}

DWORD ButtonStyle(Kind kind) {
  switch (kind) {
    case Kind::CheckBox:
      return BS_AUTOCHECKBOX;
    case Kind::RadioButton:
      return BS_AUTORADIOBUTTON;
    default:
      return BS_PUSHBUTTON;
  }
}

// The window styles of a control as described: a tab stop also starts a group,
// so that the arrow keys move only within a radio group.
DWORD ControlStyle(const forms::Control& item) {
  DWORD style = WS_CHILD | WS_VISIBLE;
  if (item.tabStop) style |= WS_TABSTOP | WS_GROUP;
  if (!item.enabled) style |= WS_DISABLED;
  return style;
}

HMENU MenuOf(int id) {
  return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

// The footer label sizes itself to its text, one pixel more each way for the
// shadow.
SIZE TextSize(HWND label, HFONT font) {
  const std::wstring text = WindowText(label);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return {size.cx + 1, size.cy + 1};
}

bool IsToolButton(int id) {
  const forms::Control* item = ControlWithId(id);
  return item != nullptr && item->kind == Kind::ToolButton;
}

}  // namespace

Form::Form(const forms::Form& form, const wchar_t* className, HWND owner)
    : form_(form), style_(StyleOf(form.frame)), exStyle_(ExStyleOf(form.frame)) {
  RegisterFormClass(className, Procedure, form.icon != nullptr);
  window_ = CreateWindowExW(exStyle_, className, Wide(form.caption).c_str(), style_, 0, 0, 0, 0,
                            owner, nullptr, GetModuleHandleW(nullptr), this);
  dpi_ = WindowDpi(window_);
  fonts_ = std::make_unique<Fonts>(form_, dpi_);
  CreateControls();
  Layout();
  FitFormFont();
  SizeWindow(nullptr);
}

Form::~Form() {
  if (IsWindow(window_)) DestroyWindow(window_);
}

HWND Form::ControlWindow(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

std::wstring Form::Text(int id) const {
  return WindowText(ControlWindow(id));
}

void Form::SetText(int id, const std::wstring& text) {
  if (const forms::Control* item = ControlWithId(id);
      item != nullptr && item->kind == Kind::SpinEdit) {
    SetSpinEditText(ControlWindow(id), text);
    return;
  }
  SetWindowTextW(ControlWindow(id), text.c_str());
}

bool Form::Checked(int id) const {
  return SendMessageW(ControlWindow(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form::SetChecked(int id, bool checked) {
  const forms::Control* item = ControlWithId(id);
  if (checked && item != nullptr && item->kind == Kind::RadioButton) {
    for (const forms::Control& other : form_.controls) {
      if (other.kind == Kind::RadioButton && &other != item) {
        SendMessageW(ControlWindow(IdOf(other.name)), BM_SETCHECK, BST_UNCHECKED, 0);
      }
    }
  }
  SendMessageW(ControlWindow(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// A tool button is no window of its own: its tool bar holds its state.
bool Form::Enabled(int id) const {
  if (IsToolButton(id))
    return SendMessageW(ControlWindow(IdOf(ControlWithId(id)->parent)), TB_ISBUTTONENABLED, id,
                        0) != 0;
  return IsWindowEnabled(ControlWindow(id)) != FALSE;
}

void Form::SetEnabled(int id, bool enabled) {
  if (IsToolButton(id)) {
    SendMessageW(ControlWindow(IdOf(ControlWithId(id)->parent)), TB_ENABLEBUTTON, id,
                 MAKELPARAM(enabled ? TRUE : FALSE, 0));
    return;
  }
  EnableWindow(ControlWindow(id), enabled ? TRUE : FALSE);  // a spin edit's button follows its edit
}

void Form::SetToolTip(int id, const std::wstring& text) {
  if (toolTip_ == nullptr) {
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                               0, 0, 0, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    // A tool tip shows its text on one line unless it has a width to wrap at;
    // with one, it also breaks the lines where the text does.
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, SHRT_MAX);
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(ControlWindow(id));
  // Replaced whole: the tool's text is copied in when it is added.
  SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  const std::wstring shown = ToolTipText(toolTip_, text);
  tool.lpszText = const_cast<wchar_t*>(shown.c_str());
  SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// A tool tip sizes itself by GDI's extent of its text and clips the text to
// it: where glyphs are drawn wider than that extent (Wine, which draws them
// without smoothing), each line gets the room it lacks as no-break spaces at
// its end.
std::wstring Form::ToolTipText(HWND toolTip, const std::wstring& text) {
  return toolTip == nullptr ? text : PaddedToDrawnWidth(toolTip, text);
}

void Form::RepaintNow(int id) {
  RedrawWindow(ControlWindow(id), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Form::FocusOnActivation(int id) {
  focus_ = ControlWindow(id);
}

void Form::ShowCentred() {
  RECT frame;
  GetWindowRect(window_, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& screen = monitor.rcMonitor;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, screen.left + (screen.right - screen.left - width) / 2,
               screen.top + (screen.bottom - screen.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
}

LRESULT Form::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Form::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return form->Dispatch(message, wParam, lParam);
}

LRESULT Form::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      // Enter and Escape reach a window through the dialog manager as IDOK and
      // IDCANCEL; no control has those identifiers, and the forms have neither
      // a default nor a cancel button.
      const int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) OnCommand(id, HIWORD(wParam));
      return 0;
    }
    case WM_NOTIFY:
      return Notify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_ACTIVATE:
      Activate(wParam);
      return 0;
    case WM_DPICHANGED: {
      dpi_ = LOWORD(wParam);
      // The old fonts go only once every control has the new ones.
      const std::unique_ptr<Fonts> old =
          std::exchange(fonts_, std::make_unique<Fonts>(form_, dpi_));
      Layout();
      FitFormFont();
      SizeWindow(reinterpret_cast<const RECT*>(lParam));
      return 0;
    }
    default:
      return Handle(message, wParam, lParam);
  }
}

LRESULT Form::Notify(const NMHDR& header, LPARAM lParam) {
  const int id = static_cast<int>(header.idFrom);
  if (header.code == TTN_GETDISPINFOW && IsToolButton(id)) {
    // The tool bar's tool tip asks for each text before it sizes itself.
    const HWND toolBar = ControlWindow(IdOf(ControlWithId(id)->parent));
    shownHint_ = ToolTipText(reinterpret_cast<HWND>(SendMessageW(toolBar, TB_GETTOOLTIPS, 0, 0)),
                             Wide(ControlWithId(id)->hint));
    reinterpret_cast<NMTTDISPINFOW*>(lParam)->lpszText = shownHint_.data();
  }
  return 0;
}

// A window that is not a dialog would take the keyboard focus itself on each
// activation; the form gives it back to the control that had it, as dialogs do.
void Form::Activate(WPARAM state) {
  const bool active = LOWORD(state) != WA_INACTIVE;
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
  } else if (focus_ != nullptr && IsWindowEnabled(focus_) && HIWORD(state) == 0) {
    SetFocus(focus_);
  }
  OnActivate(active);
}

// In tab order, which is the order the dialog manager's Tab goes round; a
// tool bar makes its own buttons.
void Form::CreateControls() {
  for (const forms::Control* item : forms::InTabOrder(form_)) {
    if (item->kind == Kind::ToolButton || item->kind == Kind::Divider) continue;
    HWND parent = item->parent == nullptr ? window_ : ControlWindow(IdOf(item->parent));
    controls_[IdOf(item->name)] = CreateControl(*item, parent);
  }
}

HWND Form::CreateControl(const forms::Control& item, HWND parent) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const int id = IdOf(item.name);
  const DWORD style = ControlStyle(item);
  const std::wstring text = Wide(item.text);
  HWND control = nullptr;
  switch (item.kind) {
    case Kind::Panel:
      control = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, text.c_str(), style, 0, 0, 0, 0,
                                parent, MenuOf(id), instance, nullptr);
      break;
    case Kind::ToolBar:
      toolItems_ = forms::ChildrenOf(form_, item.name);
      control = CreateToolBar(parent, id, toolItems_, form_.imageSize, dpi_);
      break;
    case Kind::SpinEdit:
      // Its spin button gets the next identifier range (see kSpinButtonIdOffset).
      control =
          CreateSpinEdit(parent, id, Scale(item.rect, dpi_), text.c_str(), item.range, style, dpi_);
      break;
    case Kind::Label:
      control = CreateWindowExW(0, L"STATIC", text.c_str(), style | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                0, 0, 0, 0, parent, MenuOf(id), instance, nullptr);
      break;
    case Kind::ShadowLabel:
      control = CreateWindowExW(0, kShadowLabelClass, text.c_str(), style, 0, 0, 0, 0, parent,
                                MenuOf(id), instance, nullptr);
      break;
    case Kind::CheckBox:
    case Kind::RadioButton:
    case Kind::PushButton:
      control = CreateWindowExW(0, L"BUTTON", text.c_str(), style | ButtonStyle(item.kind), 0, 0, 0,
                                0, parent, MenuOf(id), instance, nullptr);
      if (item.checked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case Kind::ToolButton:
    case Kind::Divider:
      break;
  }
  if (item.style != nullptr) {
    const forms::Rgb& colour = item.style->colour;
    SetTextColour(control, RGB(colour.red, colour.green, colour.blue));
  }
  return control;
}

void Form::Layout() {
  for (const auto& [id, control] : controls_) {
    const forms::Control& item = *ControlWithId(id);
    const forms::Rect place = Scale(item.rect, dpi_);
    HFONT font = fonts_->Of(item);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (item.kind == Kind::SpinEdit) {
      PlaceSpinEdit(control, place, dpi_);
      continue;
    }
    if (item.kind == Kind::ToolBar) SizeToolBar(control, toolItems_, form_.imageSize, dpi_);
    const SIZE size =
        item.kind == Kind::ShadowLabel ? TextSize(control, font) : SIZE{place.width, place.height};
    MoveWindow(control, place.left, place.top, size.cx, size.cy, TRUE);
  }
}

// The layouts are drawn for "MS Sans Serif"; a face standing in for it is
// often wider, and would cut the texts at their controls' edges. The controls
// keep their places; the font gets smaller until every text fits.
void Form::FitFormFont() {
  if (LayoutFaceInstalled()) return;
  const int pixels = LargestFittingPixels(window_, form_, dpi_, Scale(form_.font.pixels, dpi_),
                                          Scale(kSmallestFormPixels, dpi_));
  if (pixels == fonts_->FormPixels()) return;
  const std::unique_ptr<Fonts> old =
      std::exchange(fonts_, std::make_unique<Fonts>(form_, dpi_, pixels));
  Layout();
}

void Form::SizeWindow(const RECT* suggested) {
  RECT frame{0, 0, Scale(form_.clientWidth, dpi_), Scale(form_.clientHeight, dpi_)};
  AdjustFrameForDpi(frame, style_, exStyle_, dpi_);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  int left = 0;
  int top = 0;
  if (suggested != nullptr) {
    left = suggested->left;
    top = suggested->top;
  } else {
    flags |= SWP_NOMOVE;
  }
  SetWindowPos(window_, nullptr, left, top, frame.right - frame.left, frame.bottom - frame.top,
               flags);
}

}  // namespace zenor9::win32
