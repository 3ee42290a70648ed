#include "win32/fonts.h"

#include <string>

#include "link/win32_text.h"
#include "win32/dpi.h"

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

constexpr wchar_t kClassicFace[] = L"MS Sans Serif";
constexpr wchar_t kDialogFace[] = L"MS Shell Dlg";

}  // namespace

bool LayoutFaceInstalled() {
  static const bool classic = HasCyrillic(kClassicFace);
  return classic;
}

HFONT MakeFont(const forms::Font& font, int pixels) {
  std::wstring face = Wide(font.face);
  if (face == kClassicFace && !LayoutFaceInstalled()) face = kDialogFace;
  return CreateFontW(-pixels, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

Fonts::Fonts(const forms::Form& form, int dpi, int formPixels)
    : formPixels_(formPixels), form_(MakeFont(form.font, formPixels)) {
  for (const forms::Control& control : form.controls) {
    if (control.style != nullptr && !styled_.contains(control.style)) {
      styled_[control.style] =
          MakeFont(control.style->font, Scale(control.style->font.pixels, dpi));
    }
  }
}

Fonts::Fonts(const forms::Form& form, int dpi) : Fonts(form, dpi, Scale(form.font.pixels, dpi)) {}

Fonts::~Fonts() {
  DeleteObject(form_);
  for (const auto& [style, font] : styled_) DeleteObject(font);
}

HFONT Fonts::Of(const forms::Control& control) const {
  return control.style != nullptr ? styled_.at(control.style) : form_;
}

}  // namespace zenor9::win32
