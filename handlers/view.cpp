#include "handlers/view.h"

#include <cstddef>

#include "handlers/spin_field.h"

namespace zenor9 {

const char* ControlName(Control control) {
  static constexpr const char* kNames[] = {
      "ToolBar",      "tbConnect",      "tbRead",         "tbWrite",
      "tbExit",       "PanelStatus",    "NetNumSpinEdit", "AutoDetectCheckBox",
      "UseCheckBox",  "VelmorSpinEdit", "Button1",        "Button3",
      "RadioButton1", "RadioButton2",   "RadioButton3",   "RadioButton4",
  };
  return kNames[static_cast<std::size_t>(control)];
}

void ControlsView::SetValue(Control control, int64_t value) {
  SetText(control, SpinText(value, SpinRangeOf(control)));
}

}  // namespace zenor9
