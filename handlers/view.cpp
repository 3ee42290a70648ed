#include "handlers/view.h"

#include "handlers/spin_field.h"

namespace zenor9 {

int ControlsView::Value(Control control) const {
  return SpinValue(Text(control), SpinRangeOf(control));
}

void ControlsView::SetValue(Control control, int64_t value) {
  SetText(control, SpinText(value, SpinRangeOf(control)));
}

}  // namespace zenor9
