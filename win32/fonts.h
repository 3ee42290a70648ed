// The windows' fonts at a DPI, as their descriptions name them: the form font
// and the fonts of the controls styled apart (the status line, the footer).
// "MS Sans Serif" is used where that face has Cyrillic letters, else the
// dialog font "MS Shell Dlg" stands in for it.
#pragma once

#include <windows.h>

#include <map>

#include "forms/forms.h"

namespace zenor9::win32 {

// A face standing in for "MS Sans Serif" may set the form font smaller, down
// to the smallest size still read easily on a shop PC's screen (at 96 dpi).
inline constexpr int kSmallestFormPixels = 8;

class Fonts {
 public:
  // The form font at `formPixels` (at this DPI already).
  Fonts(const forms::Form& form, int dpi, int formPixels);
  // The form font at its own size.
  Fonts(const forms::Form& form, int dpi);
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  HFONT Form() const { return form_; }
  // The font of `control`: its style's, else the form font.
  HFONT Of(const forms::Control& control) const;
  int FormPixels() const { return formPixels_; }

 private:
  int formPixels_;
  HFONT form_;
  std::map<const forms::TextStyle*, HFONT> styled_;
};

// Whether "MS Sans Serif" with Cyrillic letters is installed, the face the
// layouts are drawn for.
bool LayoutFaceInstalled();
// `font` at `pixels`; the caller deletes it.
HFONT MakeFont(const forms::Font& font, int pixels);

}  // namespace zenor9::win32
