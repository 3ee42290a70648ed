// Title bars that carry a caption and no buttons at all.
#pragma once

#include <QWidget>

namespace zenor9 {

// Asks for a title bar without a close box, system menu or size buttons. The
// window flags say so on every platform; X11 window managers, though, take the
// buttons from the Motif hints, where Qt leaves them all allowed when no button
// is asked for, so there the hints are written directly, at every showing.
void ShowCaptionOnly(QWidget& window);

}  // namespace zenor9
