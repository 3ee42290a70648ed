#include "handlers/view.h"

#include <cstddef>
#include <iterator>

#include "handlers/spin_field.h"

namespace zenor9 {

namespace {

// In the order of Control.
constexpr const char* kNames[] = {
    "ToolBar",      "tbConnect",      "tbRead",         "tbWrite",
    "tbExit",       "PanelStatus",    "NetNumSpinEdit", "AutoDetectCheckBox",
    "UseCheckBox",  "VelmorSpinEdit", "Button1",        "Button3",
    "RadioButton1", "RadioButton2",   "RadioButton3",   "RadioButton4",
};

}  // namespace

const char* ControlName(Control control) {
  return kNames[static_cast<std::size_t>(control)];
}

std::optional<Control> ControlNamed(std::string_view name) {
  for (std::size_t index = 0; index < std::size(kNames); ++index) {
    if (name == kNames[index]) return static_cast<Control>(index);
  }
  return std::nullopt;
}

void ControlsView::SetValue(Control control, int64_t value) {
  SetText(control, SpinText(value, SpinRangeOf(control)));
}

}  // namespace zenor9
