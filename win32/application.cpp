#include "win32/application.h"

#include <commctrl.h>

#include "handlers/app_state.h"
#include "handlers/handlers.h"
#include "link/win32_text.h"
#include "win32/controls.h"
#include "win32/main_window.h"
#include "win32/message_loop.h"
#include "win32/setup_dialog.h"
#include "win32/text_fit.h"

namespace zenor9::win32 {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;  // the static control that holds a message box's text
HHOOK boxHook = nullptr;

// Moves `control` of `box` by `dx` and widens it by `grow`, in the box's client area.
void Shift(HWND box, HWND control, int dx, int grow) {
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(HWND_DESKTOP, box, reinterpret_cast<POINT*>(&place), 2);
  SetWindowPos(control, nullptr, place.left + dx, place.top, place.right - place.left + grow,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A message box sizes its text by GDI's extent. Where the glyphs are drawn
// wider than that (Wine without font smoothing) its last letters would be cut
// ("Нет связи с ККМ" losing its "М"): before the box shows, its text grows by
// what is missing, and the box with it, its buttons staying centred.
LRESULT CALLBACK WidenBoxText(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
    HWND box = reinterpret_cast<HWND>(wParam);
    HWND text = GetDlgItem(box, kMessageBoxTextId);
    const int missing = text != nullptr ? MissingWidth(text, WindowText(text)) : 0;
    if (missing > 0) {
      RECT frame;
      GetWindowRect(box, &frame);
      SetWindowPos(box, nullptr, frame.left - missing / 2, frame.top,
                   frame.right - frame.left + missing, frame.bottom - frame.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
           child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == text) {
          Shift(box, child, 0, missing);
        } else if (GetDlgCtrlID(child) >= IDOK && GetDlgCtrlID(child) <= IDCONTINUE) {
          Shift(box, child, missing / 2, 0);  // a button
        }
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void Application::ShowMessageBox(const std::string& text, const std::string& caption,
                                 unsigned flags) {
  boxHook = SetWindowsHookExW(WH_CBT, WidenBoxText, nullptr, GetCurrentThreadId());
  MessageBoxW(BoxOwner(), Wide(text).c_str(), Wide(caption).c_str(), flags);
  if (boxHook != nullptr) UnhookWindowsHookEx(boxHook);
  boxHook = nullptr;
}

// The box belongs to the window in front, the dialog while it runs: Windows
// disables that window for the box's run (the main window already is under
// the dialog), keeps the box above it and gives the focus back to it.
HWND Application::BoxOwner() const {
  if (dialog_ != nullptr && dialog_->Running()) return dialog_->Hwnd();
  return main_ != nullptr ? main_->Hwnd() : nullptr;
}

void Application::BeginBusyCursor() {
  if (busy_++ == 0) idleCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Application::EndBusyCursor() {
  if (busy_ > 0 && --busy_ == 0) SetCursor(idleCursor_);
}

int Application::Run() {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterControlClasses(GetModuleHandleW(nullptr));

  AppState state;
  Handlers handlers(state, *this);
  MainWindow mainWindow(handlers);
  main_ = &mainWindow;
  handlers.Created(mainWindow);  // FormCreate
  SetupDialog dialog(handlers, mainWindow.Hwnd());
  dialog_ = &dialog;
  handlers.Created(dialog);
  mainWindow.Listen();
  dialog.Listen();

  mainWindow.Show();
  RunMessages(mainWindow.Hwnd(), [] { return false; });

  // The windows go in the reverse order of their creation; the main window
  // hides before FormDestroy closes the channel.
  handlers.Destroyed(dialog);
  DestroyWindow(dialog.Hwnd());
  dialog_ = nullptr;
  ShowWindow(mainWindow.Hwnd(), SW_HIDE);
  handlers.Destroyed(mainWindow);
  DestroyWindow(mainWindow.Hwnd());
  main_ = nullptr;
  return 0;
}

}  // namespace zenor9::win32
