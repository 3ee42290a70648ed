// window_inspector.exe: what the windows of the Wine session show, read from
// outside the program as a screen reader would, for the window tests.
//
//   window_inspector.exe list            every visible top-level window, then
//                                        its controls, one line each
//   window_inspector.exe wait TITLE MS   waits until a visible window titled
//                                        TITLE exists, then lists (exit 1 when
//                                        none came within MS milliseconds)
//   window_inspector.exe gone TITLE MS   waits until no visible window is titled
//                                        TITLE (exit 1 when one is still there)
//
// Lines are tab-separated key=value pairs in UTF-8; texts have their line
// breaks written as \n. A window line:
//   window hwnd=.. class=.. title=.. client=X,Y,W,H frame=X,Y,W,H enabled=0|1
//          foreground=0|1 owner=.. focus=ID pid=..
// (rectangles in screen coordinates; focus is the identifier of the control
// with the keyboard focus in that window's thread, or 0), then one line per
// control:
//   control parent=HWND id=.. class=.. text=.. enabled=0|1 visible=0|1
//           checked=0|1|- rect=X,Y,W,H
// (rect relative to the top-level window's client area). A tool bar also gets
// a line per button: button parent=HWND id=.. enabled=0|1
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

std::string Escaped(const std::wstring& wide) {
  std::string out;
  for (char c : Utf8(wide)) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  // WM_GETTEXT, not GetWindowTextW: the latter does not ask a window of
  // another process for its text, and a control's text is what it shows.
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  return buffer;
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

std::string RectText(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", r.left, r.top, r.right - r.left,
                r.bottom - r.top);
  return text;
}

std::string Hex(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  return text;
}

RECT ClientOnScreen(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  OffsetRect(&client, origin.x, origin.y);
  return client;
}

struct Listing {
  HWND top;
  POINT origin;
};

BOOL CALLBACK ListControl(HWND control, LPARAM data) {
  const auto* listing = reinterpret_cast<const Listing*>(data);
  RECT r;
  GetWindowRect(control, &r);
  OffsetRect(&r, -listing->origin.x, -listing->origin.y);
  const std::wstring className = ClassOf(control);
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  const LONG_PTR type = style & BS_TYPEMASK;
  const bool checkable = lstrcmpiW(className.c_str(), L"Button") == 0 &&
                         (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX ||
                          type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON);
  const char* checked = "-";
  if (checkable) checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
  std::printf(
      "control\tparent=%s\tid=%d\tclass=%s\ttext=%s\tenabled=%d\tvisible=%d\tchecked=%s\trect=%s\n",
      Hex(listing->top).c_str(), GetDlgCtrlID(control), Utf8(className).c_str(),
      Escaped(TextOf(control)).c_str(), IsWindowEnabled(control) ? 1 : 0,
      IsWindowVisible(control) ? 1 : 0, checked, RectText(r).c_str());
  if (lstrcmpiW(className.c_str(), TOOLBARCLASSNAMEW) == 0) {
    // TB_GETSTATE answers in its result, so it works across processes.
    for (int id = 1; id < 1000; ++id) {
      const LRESULT state = SendMessageW(control, TB_GETSTATE, id, 0);
      if (state == -1) continue;
      std::printf("button\tparent=%s\tid=%d\tenabled=%d\n", Hex(listing->top).c_str(), id,
                  (state & TBSTATE_ENABLED) != 0 ? 1 : 0);
    }
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

std::vector<HWND> VisibleTopLevel() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void List() {
  const HWND foreground = GetForegroundWindow();
  for (HWND window : VisibleTopLevel()) {
    RECT frame;
    GetWindowRect(window, &frame);
    const RECT client = ClientOnScreen(window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::printf(
        "window\thwnd=%s\tclass=%s\ttitle=%s\tclient=%s\tframe=%s\tenabled=%d\tforeground=%"
        "d\towner=%s\tfocus=%d\tpid=%lu\n",
        Hex(window).c_str(), Utf8(ClassOf(window)).c_str(), Escaped(TextOf(window)).c_str(),
        RectText(client).c_str(), RectText(frame).c_str(), IsWindowEnabled(window) ? 1 : 0,
        window == foreground ? 1 : 0, Hex(GetWindow(window, GW_OWNER)).c_str(), FocusedId(window),
        pid);
    Listing listing{window, {client.left, client.top}};
    EnumChildWindows(window, ListControl, reinterpret_cast<LPARAM>(&listing));
  }
  std::fflush(stdout);
}

bool TitleShown(const std::wstring& title) {
  for (HWND window : VisibleTopLevel()) {
    if (TextOf(window) == title) return true;
  }
  return false;
}

// Polls every 50 ms until the window is shown (or gone) or the time is up.
int Wait(const std::wstring& title, bool shown, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (TitleShown(title) != shown) {
    if (GetTickCount64() > deadline) return 1;
    Sleep(50);
  }
  List();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"list") {
    List();
    return 0;
  }
  if ((command == L"wait" || command == L"gone") && argc == 4) {
    return Wait(argv[2], command == L"wait", static_cast<DWORD>(_wtoi(argv[3])));
  }
  std::fprintf(stderr, "usage: window_inspector.exe list | wait TITLE MS | gone TITLE MS\n");
  return 2;
}
