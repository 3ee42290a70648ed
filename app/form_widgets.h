// A window's widgets made from its description (forms/forms.h), and their
// events forwarded to the handlers. Each control becomes a widget with the
// control's name as its object name, through which the views find it.
#pragma once

#include <QWidget>

#include "forms/forms.h"
#include "handlers/handlers.h"

namespace zenor9 {

// Gives `window` the form's name, caption, client size (fixed), frame and icon,
// and makes its controls: each at its rectangle, with its text, hint, state
// and range, the keyboard focus going round them in tab order. Fonts are for
// look.h to give.
void BuildForm(QWidget& window, const forms::Form& form);

// From now on a click on a button, a check box's change and a spin edit's
// change of text reach `handlers`.
void ForwardEvents(QWidget& window, const forms::Form& form, Handlers& handlers);

// Both windows open in the middle of the screen.
void CenterOnScreen(QWidget& window);

}  // namespace zenor9
