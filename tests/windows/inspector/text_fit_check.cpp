// window_text_fit.exe: builds zenor9-prefix.exe's two windows as the program
// does, in the fonts of this Wine prefix, without showing them, and checks that
// every text shows whole: each label, check box, radio button and push button
// in the font the control was given, each status line in the status panel,
// the footer inside its panel, and every control where the window's
// description puts it.
// Prints the face and size of each window's form font, then each text that
// does not fit and each control moved; exits 1 when there is one.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "handlers/app_state.h"
#include "handlers/handlers.h"
#include "handlers/texts.h"
#include "link/win32_text.h"
#include "win32/application.h"
#include "win32/control_ids.h"
#include "win32/controls.h"
#include "win32/dpi.h"
#include "win32/form.h"
#include "win32/main_window.h"
#include "win32/setup_dialog.h"
#include "win32/text_fit.h"

namespace {

using namespace zenor9;
using namespace zenor9::win32;
using forms::Kind;
using forms::Rect;

// The control's rectangle in its parent's client area.
Rect PlaceOf(HWND control) {
  RECT area;
  GetWindowRect(control, &area);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&area), 2);
  return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

// The family of the face the font mapper chose, which may stand in for the
// one asked for ("Tahoma" for "MS Shell Dlg"), or the name asked for where
// it is no outline font.
std::string FaceOf(HDC dc) {
  const UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
  if (size > 0) {
    std::string buffer(size, '\0');
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (GetOutlineTextMetricsW(dc, size, metrics) != 0)
      return Utf8(reinterpret_cast<const wchar_t*>(
          buffer.data() + reinterpret_cast<std::size_t>(metrics->otmpFamilyName)));
  }
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  return Utf8(face);
}

// Counts `text` when it needs more than `room` in the control's font.
int CheckText(HWND control, Kind kind, const std::wstring& text, const Rect& room, int dpi,
              const char* name) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  const SIZE needed = NeededSize(dc, kind, text, dpi);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (needed.cx <= room.width && needed.cy <= room.height) return 0;
  std::wstring shown = text;
  for (std::size_t at; (at = shown.find(L"\r\n")) != std::wstring::npos;)
    shown.replace(at, 2, L" / ");
  std::printf("control %d (%s): \"%s\" needs %ldx%ld px, has %dx%d\n", GetDlgCtrlID(control), name,
              Utf8(shown).c_str(), needed.cx, needed.cy, room.width, room.height);
  return 1;
}

// The status line shows each status inside its one-pixel bevel.
int CheckStatusLine(const Form& form) {
  HWND panel = form.ControlWindow(IdOf(Control::PanelStatus));
  Rect room = PlaceOf(panel);
  room.width -= 2;
  room.height -= 2;
  int cut = 0;
  for (const char* status : {zenor9::kStatusConnected, zenor9::kStatusNoLink, zenor9::kStatusRead,
                             zenor9::kStatusWritten}) {
    cut += CheckText(panel, Kind::Label, Wide(status), room, form.Dpi(), "status line");
  }
  return cut;
}

// The footer sizes itself to its text; it must stay inside its panel's bevel.
int CheckFooter(const Form& form) {
  const Rect label = PlaceOf(form.ControlWindow(IdOf("RxLabel1")));
  RECT panel;
  GetClientRect(form.ControlWindow(IdOf("Panel1")), &panel);
  if (label.left + label.width <= panel.right - 1) return 0;
  std::printf("footer: %d px wide at %d, past its panel's edge at %ld\n", label.width, label.left,
              panel.right - 1);
  return 1;
}

int CheckWindow(const Form& form, const forms::Form& description, const char* name) {
  HDC dc = GetDC(form.Hwnd());
  HGDIOBJ old = SelectObject(
      dc, reinterpret_cast<HFONT>(SendMessageW(
              form.ControlWindow(IdOf(description.controls[0].name)), WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  std::printf("%s font: %s, %ld px high, %d dpi\n", name, FaceOf(dc).c_str(), metrics.tmHeight,
              form.Dpi());
  SelectObject(dc, old);
  ReleaseDC(form.Hwnd(), dc);
  int faults = 0;
  for (const forms::Control& item : description.controls) {
    // A tool bar's buttons are no windows of their own.
    if (item.kind == Kind::ToolButton || item.kind == Kind::Divider) continue;
    HWND control = form.ControlWindow(IdOf(item.name));
    const Rect place = PlaceOf(control);
    // A spin edit's rectangle holds its up-down too; the footer sizes itself.
    if (item.kind != Kind::SpinEdit && item.kind != Kind::ShadowLabel &&
        !(place == Scale(item.rect, form.Dpi()))) {
      std::printf("control %s: at %d,%d %dx%d, not where the description puts it\n", item.name,
                  place.left, place.top, place.width, place.height);
      ++faults;
    }
    if (ShowsFixedText(item.kind))
      faults += CheckText(control, item.kind, WindowText(control), place, form.Dpi(), name);
  }
  return faults;
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX controls{
      sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterControlClasses(GetModuleHandleW(nullptr));
  zenor9::AppState state;
  Application application;
  zenor9::Handlers handlers(state, application);
  MainWindow mainWindow(handlers);
  handlers.Created(mainWindow);
  SetupDialog dialog(handlers, mainWindow.Hwnd());
  handlers.Created(dialog);

  int faults = CheckWindow(mainWindow, forms::MainForm(), "MainForm");
  faults += CheckStatusLine(mainWindow) + CheckFooter(mainWindow);
  faults += CheckWindow(dialog, forms::InitCom(), "Init_Com");
  std::printf(faults == 0 ? "every text fits\n" : "%d faults\n", faults);
  std::fflush(stdout);
  return faults == 0 ? 0 : 1;
}
