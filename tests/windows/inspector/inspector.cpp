// window_inspector.exe: what the windows of the Wine session show, read from
// outside the program as a screen reader would, for the window tests. It prints
// every visible top-level window, one line each, in UTF-8, tab-separated
// key=value pairs (line breaks in texts written as \n):
//   window class=.. title=.. client=X,Y,W,H enabled=0|1 foreground=0|1 focus=ID
// (the client area in screen coordinates; focus is the identifier of the
// control with the keyboard focus in that window's thread, or 0), then its
// controls:
//   control id=.. class=.. text=.. enabled=0|1 checked=0|1|- rect=X,Y,W,H
//           selection=START,END|-
// (rect relative to the window's client area; selection only for an edit
// control), and for a tool bar a line per button: button id=.. enabled=0|1
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.resize(static_cast<size_t>(size > 0 ? size - 1 : 0));
  return text;
}

// WM_GETTEXT, not GetWindowTextW: the latter does not ask a window of another
// process for its text, and a control's text is what it shows.
std::string TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  std::string out;
  for (char c : Utf8(buffer)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

std::string ClassOf(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return Utf8(buffer);
}

std::string RectText(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", r.left, r.top, r.right - r.left,
                r.bottom - r.top);
  return text;
}

BOOL CALLBACK ListControl(HWND control, LPARAM clientOrigin) {
  const auto* origin = reinterpret_cast<const POINT*>(clientOrigin);
  RECT r;
  GetWindowRect(control, &r);
  OffsetRect(&r, -origin->x, -origin->y);
  const std::string className = ClassOf(control);
  const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  const bool checkable =
      className == "Button" && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX ||
                                type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON);
  const char* checked = "-";
  if (checkable) checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
  // EM_GETSEL without pointers answers in its result, so it works across processes.
  char selection[32] = "-";
  if (className == "Edit") {
    const DWORD range = static_cast<DWORD>(SendMessageW(control, EM_GETSEL, 0, 0));
    std::snprintf(selection, sizeof selection, "%u,%u", LOWORD(range), HIWORD(range));
  }
  std::printf("control\tid=%d\tclass=%s\ttext=%s\tenabled=%d\tchecked=%s\trect=%s\tselection=%s\n",
              GetDlgCtrlID(control), className.c_str(), TextOf(control).c_str(),
              IsWindowEnabled(control) ? 1 : 0, checked, RectText(r).c_str(), selection);
  if (className != "ToolbarWindow32") return TRUE;
  // TB_GETSTATE answers in its result, so it works across processes.
  for (int id = 1; id < 1000; ++id) {
    const LRESULT state = SendMessageW(control, TB_GETSTATE, id, 0);
    if (state != -1)
      std::printf("button\tid=%d\tenabled=%d\n", id, (state & TBSTATE_ENABLED) ? 1 : 0);
  }
  return TRUE;
}

int FocusedId(HWND top) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return 0;
  if (info.hwndFocus == nullptr || !IsChild(top, info.hwndFocus)) return 0;
  return GetDlgCtrlID(info.hwndFocus);
}

BOOL CALLBACK ListWindow(HWND window, LPARAM foreground) {
  if (!IsWindowVisible(window)) return TRUE;
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  OffsetRect(&client, origin.x, origin.y);
  std::printf("window\tclass=%s\ttitle=%s\tclient=%s\tenabled=%d\tforeground=%d\tfocus=%d\n",
              ClassOf(window).c_str(), TextOf(window).c_str(), RectText(client).c_str(),
              IsWindowEnabled(window) ? 1 : 0, window == reinterpret_cast<HWND>(foreground) ? 1 : 0,
              FocusedId(window));
  EnumChildWindows(window, ListControl, reinterpret_cast<LPARAM>(&origin));
  return TRUE;
}

}  // namespace

int main() {
  EnumWindows(ListWindow, reinterpret_cast<LPARAM>(GetForegroundWindow()));
  std::fflush(stdout);
  return 0;
}
