// The identifiers of the windows' controls, numbered from their descriptions:
// the main window's control listed at index i has 100 + i, the set-up
// dialog's 300 + i; a tool button's is its command. None is 1 or 2 (IDOK,
// IDCANCEL), which the dialog manager sends for Enter and Escape. Free of
// windows.h: the window tests, built for Linux, find the controls by these.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "forms/forms.h"
#include "handlers/view.h"

namespace zenor9::win32 {

// A spin edit's spin button has the edit's identifier plus this.
inline constexpr int kSpinButtonIdOffset = 1000;

struct NumberedForm {
  const forms::Form& form;
  int firstId;
};

inline std::array<NumberedForm, 2> NumberedForms() {
  return {{{forms::MainForm(), 100}, {forms::InitCom(), 300}}};
}

// The identifier of the control named `name`; 0 when no window has one.
inline int IdOf(std::string_view name) {
  for (const auto& [form, firstId] : NumberedForms()) {
    if (const forms::Control* control = forms::Find(form, name))
      return firstId + static_cast<int>(control - form.controls.data());
  }
  return 0;
}

// The control with identifier `id`; nullptr when no window has one.
inline const forms::Control* ControlWithId(int id) {
  for (const auto& [form, firstId] : NumberedForms()) {
    if (id >= firstId && id - firstId < static_cast<int>(form.controls.size()))
      return &form.controls[static_cast<std::size_t>(id - firstId)];
  }
  return nullptr;
}

// The control the handlers know by `control`, and back.
inline int IdOf(Control control) {
  return IdOf(ControlName(control));
}
inline std::optional<Control> ControlOf(int id) {
  const forms::Control* control = ControlWithId(id);
  return control != nullptr ? ControlNamed(control->name) : std::nullopt;
}

}  // namespace zenor9::win32
