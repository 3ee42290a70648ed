// Fonts of the windows. The layouts are fixed pixel positions, so the fonts are
// given in pixels too. The classic Windows faces are asked for first; where they
// are missing, faces with close metrics stand in.
#pragma once

#include <QFont>

namespace zenor9 {

// Every control's font: "MS Sans Serif", 11 pixels.
QFont FormFont();
// The status line: "Times New Roman", bold, 15 pixels.
QFont StatusFont();
// The footer notice: "MS Sans Serif", bold, 13 pixels.
QFont NoticeFont();

}  // namespace zenor9
