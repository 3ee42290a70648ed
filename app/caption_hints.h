// The part of a caption-only title bar that a platform keeps outside Qt's
// window flags: one file per platform.
#pragma once

class QWidget;

namespace zenor9 {

// Tells the window system, directly, that `window` has a caption and no
// buttons. Called each time the window is shown, just before it is mapped.
void WriteCaptionOnlyHints(QWidget& window);

}  // namespace zenor9
