#include "win32/fonts.h"

#include "win32/layout.h"

namespace zenor9::win32 {

namespace {

int CALLBACK NoteFound(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/, DWORD /*type*/,
                       LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

// Whether this system has `face` with Cyrillic letters. "MS Sans Serif" is a
// bitmap font made for one code page: a Western Windows has no Cyrillic one,
// and the font mapper would then draw the Russian texts in another face.
bool HasCyrillic(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = RUSSIAN_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

HFONT MakeFont(const wchar_t* face, int pixels, bool bold, BYTE charset) {
  return CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

constexpr wchar_t kClassicFace[] = L"MS Sans Serif";
constexpr wchar_t kDialogFace[] = L"MS Shell Dlg";

}  // namespace

const wchar_t* FormFace() {
  return LayoutFaceInstalled() ? kClassicFace : kDialogFace;
}

bool LayoutFaceInstalled() {
  static const bool classic = HasCyrillic(kClassicFace);
  return classic;
}

HFONT MakeFormFont(int pixels) {
  return MakeFont(FormFace(), pixels, false, RUSSIAN_CHARSET);
}

Fonts::Fonts(int dpi, int formPixels)
    : formPixels_(formPixels),
      form_(MakeFormFont(formPixels)),
      status_(MakeFont(L"Times New Roman", Scale(15, dpi), true, RUSSIAN_CHARSET)),
      notice_(MakeFont(FormFace(), Scale(13, dpi), true, RUSSIAN_CHARSET)) {}

Fonts::Fonts(int dpi) : Fonts(dpi, Scale(kFormPixels, dpi)) {}

Fonts::~Fonts() {
  DeleteObject(form_);
  DeleteObject(status_);
  DeleteObject(notice_);
}

}  // namespace zenor9::win32
