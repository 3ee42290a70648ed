// The windows' fonts at a DPI: the form font ("MS Sans Serif" 8 pt where that
// face has Cyrillic letters, else the dialog font "MS Shell Dlg"), the status
// line's bold Times New Roman, and the footer's bold face.
#pragma once

#include <windows.h>

namespace zenor9::win32 {

// The form font's size at 96 dpi: "MS Sans Serif" 8 pt, as the layouts are
// drawn for. A face standing in for it may be set smaller, down to the
// smallest size still read easily on a shop PC's screen.
inline constexpr int kFormPixels = 11;
inline constexpr int kSmallestFormPixels = 8;

class Fonts {
 public:
  // The form font at `formPixels` (at this DPI already).
  Fonts(int dpi, int formPixels);
  explicit Fonts(int dpi);
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  HFONT Form() const { return form_; }
  HFONT Status() const { return status_; }
  HFONT Notice() const { return notice_; }
  int FormPixels() const { return formPixels_; }

 private:
  int formPixels_;
  HFONT form_;
  HFONT status_;
  HFONT notice_;
};

// The face the form font uses here: "MS Sans Serif" or "MS Shell Dlg".
const wchar_t* FormFace();
// Whether that is the layouts' own face, "MS Sans Serif" with Cyrillic letters.
bool LayoutFaceInstalled();
// The form face at `pixels`; the caller deletes it.
HFONT MakeFormFont(int pixels);

}  // namespace zenor9::win32
