#include "app/look.h"

#include <QStringList>

namespace zenor9 {

namespace {

QFont PixelFont(const QStringList& families, int pixels, bool bold) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

const QStringList& SansFamilies() {
  static const QStringList families{"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                    "Arial", "DejaVu Sans"};
  return families;
}

}  // namespace

QFont FormFont() {
  return PixelFont(SansFamilies(), 11, false);
}

QFont StatusFont() {
  return PixelFont({"Times New Roman", "Liberation Serif", "DejaVu Serif"}, 15, true);
}

QFont NoticeFont() {
  return PixelFont(SansFamilies(), 13, true);
}

}  // namespace zenor9
