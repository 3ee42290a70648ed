// Platforms without X11: the window flags alone ask for a caption-only title bar.
#include "app/caption_hints.h"

namespace zenor9 {

void WriteCaptionOnlyHints(QWidget&) {}

}  // namespace zenor9
