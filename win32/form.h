// A top-level window made from its description (forms/forms.h): it creates its
// controls in tab order, scales the whole layout by its DPI (again when the DPI
// changes), and reads and writes its controls by identifier (control_ids.h).
// What a control's event means is for the class derived from it.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "forms/forms.h"
#include "win32/controls.h"
#include "win32/dpi.h"
#include "win32/fonts.h"

namespace zenor9::win32 {

class Form {
 public:
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND Hwnd() const { return window_; }
  HWND ControlWindow(int id) const;
  int Dpi() const { return dpi_; }

  // The control's window text: what it shows.
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);
  bool Checked(int id) const;
  // Sets the check mark alone: Windows sends no click for it. A radio button
  // checked this way unchecks the others of the window.
  void SetChecked(int id, bool checked);
  bool Enabled(int id) const;
  void SetEnabled(int id, bool enabled);
  // The tooltip shown while the mouse rests on the control.
  void SetToolTip(int id, const std::wstring& text);
  void RepaintNow(int id);
  // The control that gets the keyboard focus when the window is next activated.
  void FocusOnActivation(int id);

  // Centred on the screen's work area, shown, and active.
  void ShowCentred();

 protected:
  // The window class is registered on first use.
  Form(const forms::Form& form, const wchar_t* className, HWND owner);

  // A message the form does not handle itself.
  virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // The window became active (true) or inactive.
  virtual void OnActivate(bool /*active*/) {}
  // WM_COMMAND from a control or a tool button.
  virtual void OnCommand(int /*id*/, int /*code*/) {}

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Notify(const NMHDR& header, LPARAM lParam);
  void CreateControls();
  HWND CreateControl(const forms::Control& item, HWND parent);
  void Layout();
  void FitFormFont();
  static std::wstring ToolTipText(HWND toolTip, const std::wstring& text);
  void SizeWindow(const RECT* suggested);
  void Activate(WPARAM state);

  const forms::Form& form_;
  DWORD style_;
  DWORD exStyle_;
  ToolItems toolItems_;
  HWND window_ = nullptr;
  int dpi_ = kBaseDpi;
  std::unique_ptr<Fonts> fonts_;
  std::map<int, HWND> controls_;
  HWND toolTip_ = nullptr;
  std::wstring shownHint_;  // the tool bar's tool tip text, kept while it shows
  HWND focus_ = nullptr;    // the control that had the focus when the window was left
};

}  // namespace zenor9::win32
