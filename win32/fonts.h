// The windows' fonts at a DPI: the form font ("MS Sans Serif" 8 pt where that
// face has Cyrillic letters, else the dialog font "MS Shell Dlg"), the status
// line's bold Times New Roman, and the footer's bold face.
#pragma once

#include <windows.h>

namespace zenor9::win32 {

class Fonts {
 public:
  explicit Fonts(int dpi);
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  HFONT Form() const { return form_; }
  HFONT Status() const { return status_; }
  HFONT Notice() const { return notice_; }

 private:
  HFONT form_;
  HFONT status_;
  HFONT notice_;
};

// The face the form font uses here: "MS Sans Serif" or "MS Shell Dlg".
const wchar_t* FormFace();

}  // namespace zenor9::win32
