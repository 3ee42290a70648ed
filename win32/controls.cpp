#include "win32/controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "handlers/spin_field.h"
#include "link/win32_text.h"
#include "win32/control_ids.h"
#include "win32/dpi.h"
#include "win32/image_ids.h"

namespace zenor9::win32 {

namespace {

constexpr int kSpinButtonWidth = 15;  // at 96 dpi
// The window extra bytes of a panel and of a shadowed label: its font, then
// its text colour.
constexpr int kPanelFontSlot = 0;
constexpr int kPanelColorSlot = sizeof(LONG_PTR);

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(GetWindowLongPtrW(window, kPanelFontSlot));
}

LRESULT StoreFont(HWND window, WPARAM font, LPARAM redraw) {
  SetWindowLongPtrW(window, kPanelFontSlot, static_cast<LONG_PTR>(font));
  if (LOWORD(redraw) != 0) InvalidateRect(window, nullptr, TRUE);
  return 0;
}

// The notifications that a control sends its parent, which a panel hands on to
// the window that handles them.
bool IsParentNotification(UINT message) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_DRAWITEM:
      return true;
    default:
      return false;
  }
}

void PaintPanel(HWND panel, HDC dc, RECT area) {
  DrawEdge(dc, &area, BDR_RAISEDINNER, BF_RECT);
  const std::wstring text = WindowText(panel);
  if (!text.empty()) {
    HGDIOBJ oldFont = SelectObject(dc, FontOf(panel));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(GetWindowLongPtrW(panel, kPanelColorSlot)));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
  }
}

// Paints over the window's face colour, which fills it first.
using Painter = void (*)(HWND window, HDC dc, RECT area);

// The messages of a window that paints its own text in its own font: the
// panel and the footer label. Both are opaque.
LRESULT TextWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Painter paint) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole window
    case WM_PAINT: {
      PAINTSTRUCT paintStruct;
      HDC dc = BeginPaint(window, &paintStruct);
      RECT area;
      GetClientRect(window, &area);
      FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
      paint(window, dc, area);
      EndPaint(window, &paintStruct);
      return 0;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    case WM_CREATE:
      SetWindowLongPtrW(window, kPanelColorSlot, static_cast<LONG_PTR>(GetSysColor(COLOR_BTNTEXT)));
      return 0;
    case WM_SETFONT:
      return StoreFont(window, wParam, lParam);
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(FontOf(window));
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsParentNotification(message)) return SendMessageW(GetParent(panel), message, wParam, lParam);
  return TextWindowProc(panel, message, wParam, lParam, PaintPanel);
}

void PaintShadowLabel(HWND label, HDC dc, RECT area) {
  const std::wstring text = WindowText(label);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(label));
  SetBkMode(dc, TRANSPARENT);
  RECT shadow = area;
  OffsetRect(&shadow, -1, -1);
  constexpr UINT kFormat = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX;
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shadow, kFormat);
  SetTextColor(dc, static_cast<COLORREF>(GetWindowLongPtrW(label, kPanelColorSlot)));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, kFormat);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK ShadowLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCHITTEST) return HTTRANSPARENT;
  return TextWindowProc(label, message, wParam, lParam, PaintShadowLabel);
}

void RegisterClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, int extraBytes) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = extraBytes;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
}

// The spin edit's range, kept with the edit as a window property.
constexpr wchar_t kRangeMinProperty[] = L"Zenor9SpinMin";
constexpr wchar_t kRangeMaxProperty[] = L"Zenor9SpinMax";
constexpr wchar_t kSpinButtonProperty[] = L"Zenor9SpinButton";
constexpr UINT_PTR kSpinSubclassId = 1;

SpinRange RangeOf(HWND edit) {
  return {static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(edit, kRangeMinProperty))),
          static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(edit, kRangeMaxProperty)))};
}

// Leaving the field for another control of its window brings a value outside
// the range back into it; a message box or another program taking over leaves
// the text as the user typed it.
void EnforceRangeOnLeaving(HWND edit, HWND next) {
  if (next == nullptr || GetAncestor(next, GA_ROOT) != GetAncestor(edit, GA_ROOT)) return;
  if (const auto text = TextBroughtIntoRange(Utf8(WindowText(edit)), RangeOf(edit))) {
    SetSpinEditText(edit, Wide(*text));
  }
}

LRESULT CALLBACK SpinEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                              UINT_PTR /*id*/, DWORD_PTR /*data*/) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_UP || wParam == VK_DOWN) {
        StepSpinEdit(edit, wParam == VK_UP ? 1 : -1);
        return 0;
      }
      break;
    case WM_CHAR:
      if (!SpinFieldAccepts(static_cast<char32_t>(wParam))) {
        MessageBeep(MB_OK);
        return 0;
      }
      break;
    case WM_KILLFOCUS:
      EnforceRangeOnLeaving(edit, reinterpret_cast<HWND>(wParam));
      break;
    case WM_ENABLE:
      EnableWindow(SpinButtonOf(edit), static_cast<BOOL>(wParam));
      break;
    case WM_NCDESTROY:
      RemovePropW(edit, kRangeMinProperty);
      RemovePropW(edit, kRangeMaxProperty);
      RemovePropW(edit, kSpinButtonProperty);
      RemoveWindowSubclass(edit, SpinEditProc, kSpinSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

// The spin button's window extra bytes: its edit, then the step of the half
// held down (0 while none is).
constexpr int kButtonEditSlot = 0;
constexpr int kButtonHeldSlot = sizeof(LONG_PTR);
// Its two timers: the first repeat, then the ones after it.
constexpr UINT_PTR kFirstRepeatTimer = 1;
constexpr UINT_PTR kRepeatTimer = 2;
constexpr UINT kFirstRepeatMs = 400;
constexpr UINT kRepeatMs = 100;

HWND EditOf(HWND button) {
  return reinterpret_cast<HWND>(GetWindowLongPtrW(button, kButtonEditSlot));
}

int HeldStep(HWND button) {
  return static_cast<int>(GetWindowLongPtrW(button, kButtonHeldSlot));
}

void SetHeldStep(HWND button, int delta) {
  SetWindowLongPtrW(button, kButtonHeldSlot, delta);
  InvalidateRect(button, nullptr, FALSE);
}

// Above the diagonal from the top-right corner to the bottom-left one lies the
// upper-left half.
bool InUpperHalf(HWND button, POINT point) {
  RECT area;
  GetClientRect(button, &area);
  const LONGLONG width = area.right;
  const LONGLONG height = area.bottom;
  return point.x * height + point.y * width < width * height;
}

void ReleaseSpinButton(HWND button) {
  KillTimer(button, kFirstRepeatTimer);
  KillTimer(button, kRepeatTimer);
  if (HeldStep(button) != 0) SetHeldStep(button, 0);
  if (GetCapture() == button) ReleaseCapture();
}

// The button lies inside the field: a click on it is a click into the field,
// whose focus selects nothing. Then the half under the pointer steps once, and
// repeats while held.
void PressSpinButton(HWND button, POINT point) {
  HWND edit = EditOf(button);
  if (!IsWindowEnabled(edit)) return;
  if (GetFocus() != edit) {
    SetFocus(edit);
    if (GetFocus() != edit) return;  // what leaving the other control ran took the focus away
  }
  const int delta = InUpperHalf(button, point) ? 1 : -1;
  // Held before the step: a message box that the step's change event shows
  // takes the capture, which lets the button go.
  SetHeldStep(button, delta);
  SetCapture(button);
  SetTimer(button, kFirstRepeatTimer, kFirstRepeatMs, nullptr);
  StepSpinEdit(edit, delta);
}

void RepeatSpinStep(HWND button, UINT_PTR timer) {
  if (timer == kFirstRepeatTimer) {
    KillTimer(button, kFirstRepeatTimer);
    SetTimer(button, kRepeatTimer, kRepeatMs, nullptr);
  }
  if (HeldStep(button) != 0) StepSpinEdit(EditOf(button), HeldStep(button));
}

void FillTriangle(HDC dc, const POINT (&corners)[3], HBRUSH brush) {
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, corners, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

// A solid arrow around `centre`, its tip up or down: size + 1 rows of 1, 3,
// 5... pixels.
void FillArrow(HDC dc, POINT centre, LONG size, bool up, HBRUSH brush) {
  const LONG top = centre.y - size / 2;
  for (LONG row = 0; row <= size; ++row) {
    const LONG half = up ? row : size - row;
    const RECT line{centre.x - half, top + row, centre.x + half + 1, top + row + 1};
    FillRect(dc, &line, brush);
  }
}

// A raised button cut by its diagonal, the half held down drawn pressed in, an
// arrow up in the upper-left corner and one down in the lower-right corner.
void PaintSpinButton(HWND button, HDC dc) {
  RECT area;
  GetClientRect(button, &area);
  const LONG w = area.right;
  const LONG h = area.bottom;
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  if (const int held = HeldStep(button); held != 0) {
    const POINT upper[3] = {{0, 0}, {w, 0}, {0, h}};
    const POINT lower[3] = {{w, 0}, {w, h}, {0, h}};
    FillTriangle(dc, held > 0 ? upper : lower, GetSysColorBrush(COLOR_BTNSHADOW));
  }
  DrawEdge(dc, &area, EDGE_RAISED, BF_RECT);
  HGDIOBJ oldPen = SelectObject(dc, CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
  MoveToEx(dc, w - 1, 0, nullptr);
  LineTo(dc, 0, h);
  DeleteObject(SelectObject(dc, oldPen));

  HBRUSH arrow = GetSysColorBrush(IsWindowEnabled(button) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  const LONG size = std::max<LONG>(2, std::min(w, h) / 6);
  FillArrow(dc, {w * 3 / 10, h * 3 / 10}, size, true, arrow);
  FillArrow(dc, {w - 1 - w * 3 / 10, h - 1 - h * 3 / 10}, size, false, arrow);
}

LRESULT CALLBACK SpinButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      PressSpinButton(button, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_TIMER:
      RepeatSpinStep(button, wParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE:
      ReleaseSpinButton(button);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != button) ReleaseSpinButton(button);
      return 0;
    case WM_ENABLE:
      if (wParam == FALSE) ReleaseSpinButton(button);
      InvalidateRect(button, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole button
    case WM_PAINT: {
      PAINTSTRUCT paintStruct;
      HDC dc = BeginPaint(button, &paintStruct);
      PaintSpinButton(button, dc);
      EndPaint(button, &paintStruct);
      return 0;
    }
    case WM_DESTROY:
      ReleaseSpinButton(button);
      return 0;
    default:
      return DefWindowProcW(button, message, wParam, lParam);
  }
}

// The largest strip whose images are no larger than `size` (at least the 32
// pixel one): images are drawn centred on buttons that may be a little larger.
struct ImageStrip {
  int resource;
  int size;
};
ImageStrip StripFor(int size) {
  constexpr ImageStrip kStrips[] = {
      {ZENOR9_TOOLS_64, 64}, {ZENOR9_TOOLS_48, 48}, {ZENOR9_TOOLS_40, 40}, {ZENOR9_TOOLS_32, 32}};
  for (const ImageStrip& strip : kStrips) {
    if (strip.size <= size) return strip;
  }
  return kStrips[3];
}

}  // namespace

void RegisterControlClasses(HINSTANCE instance) {
  RegisterClass(instance, kPanelClass, PanelProc, 2 * sizeof(LONG_PTR));
  RegisterClass(instance, kShadowLabelClass, ShadowLabelProc, 2 * sizeof(LONG_PTR));
  RegisterClass(instance, kSpinButtonClass, SpinButtonProc, 2 * sizeof(LONG_PTR));
}

void SetTextColour(HWND window, COLORREF colour) {
  SetWindowLongPtrW(window, kPanelColorSlot, static_cast<LONG_PTR>(colour));
  InvalidateRect(window, nullptr, TRUE);
}

HWND CreateSpinEdit(HWND parent, int id, const forms::Rect& rect, const wchar_t* text,
                    SpinRange range, DWORD style, int dpi) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND edit = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", text, WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL | style, 0,
      0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  HWND button = CreateWindowExW(
      0, kSpinButtonClass, L"", WS_CHILD | WS_VISIBLE | (style & WS_DISABLED), 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id + kSpinButtonIdOffset)), instance, nullptr);
  SetWindowLongPtrW(button, kButtonEditSlot, reinterpret_cast<LONG_PTR>(edit));
  SetPropW(edit, kRangeMinProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(range.min)));
  SetPropW(edit, kRangeMaxProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(range.max)));
  SetPropW(edit, kSpinButtonProperty, button);
  SetWindowSubclass(edit, SpinEditProc, kSpinSubclassId, 0);
  PlaceSpinEdit(edit, rect, dpi);
  return edit;
}

HWND SpinButtonOf(HWND edit) {
  return static_cast<HWND>(GetPropW(edit, kSpinButtonProperty));
}

void PlaceSpinEdit(HWND edit, const forms::Rect& rect, int dpi) {
  const int buttonWidth = Scale(kSpinButtonWidth, dpi);
  MoveWindow(edit, rect.left, rect.top, rect.width - buttonWidth, rect.height, TRUE);
  MoveWindow(SpinButtonOf(edit), rect.left + rect.width - buttonWidth, rect.top, buttonWidth,
             rect.height, TRUE);
}

void SetSpinEditText(HWND edit, const std::wstring& text) {
  if (WindowText(edit) != text) SetWindowTextW(edit, text.c_str());
}

void StepSpinEdit(HWND edit, int delta) {
  if (!IsWindowEnabled(edit)) return;
  const std::wstring stepped = Wide(SteppedText(Utf8(WindowText(edit)), delta, RangeOf(edit)));
  SetSpinEditText(edit, stepped);  // at a limit, nothing is written
  // The caret at the end of the text, nothing selected, wherever the edit
  // control leaves it after a new text.
  const auto length = static_cast<LPARAM>(stepped.size());
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
}

HWND CreateToolBar(HWND parent, int id, const ToolItems& items, int imageSize, int dpi) {
  HWND toolBar =
      CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                      WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                          CCS_NORESIZE | CCS_NOPARENTALIGN,
                      0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      GetModuleHandleW(nullptr), nullptr);
  SendMessageW(toolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SizeToolBar(toolBar, items, imageSize, dpi);
  for (const forms::Control* item : items) {
    TBBUTTON button{};
    if (item->kind == forms::Kind::Divider) {
      button.iBitmap = Scale(item->rect.width, dpi);  // a divider's width
      button.fsStyle = BTNS_SEP;
    } else {
      button.idCommand = IdOf(item->name);
      button.iBitmap = item->image;
      button.fsState = item->enabled ? TBSTATE_ENABLED : 0;
      button.fsStyle = BTNS_BUTTON;
    }
    SendMessageW(toolBar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
  }
  return toolBar;
}

void SizeToolBar(HWND toolBar, const ToolItems& items, int imageSize, int dpi) {
  const ImageStrip strip = StripFor(Scale(imageSize, dpi));
  const int image = strip.size;
  // 32-bit images with their own alpha: the image list needs no mask.
  HIMAGELIST images = ImageList_Create(image, image, ILC_COLOR32, 4, 0);
  HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(strip.resource),
                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ImageList_Add(images, bitmap, nullptr);
  DeleteObject(bitmap);
  HIMAGELIST old = reinterpret_cast<HIMAGELIST>(
      SendMessageW(toolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images)));
  if (old != nullptr) ImageList_Destroy(old);
  // Every button has the size of the first.
  const auto button = std::find_if(items.begin(), items.end(), [](const forms::Control* item) {
    return item->kind == forms::Kind::ToolButton;
  });
  const int width = button != items.end() ? Scale((*button)->rect.width, dpi) : image;
  const int height = button != items.end() ? Scale((*button)->rect.height, dpi) : image;
  SendMessageW(toolBar, TB_SETBITMAPSIZE, 0, MAKELPARAM(image, image));
  SendMessageW(toolBar, TB_SETPADDING, 0, MAKELPARAM(width - image, height - image));
  SendMessageW(toolBar, TB_SETBUTTONSIZE, 0, MAKELPARAM(width, height));
  // A divider's width is its image index; it changes with the DPI too.
  int index = 0;
  for (const forms::Control* item : items) {
    if (item->kind == forms::Kind::Divider) {
      TBBUTTONINFOW info{};
      info.cbSize = sizeof info;
      info.dwMask = TBIF_BYINDEX | TBIF_SIZE;
      info.cx = static_cast<WORD>(Scale(item->rect.width, dpi));
      SendMessageW(toolBar, TB_SETBUTTONINFOW, index, reinterpret_cast<LPARAM>(&info));
    }
    ++index;
  }
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace zenor9::win32
