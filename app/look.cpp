#include "app/look.h"

#include <QFontDatabase>
#include <algorithm>

namespace zenor9 {

namespace {

// Below this, Cyrillic text is hardly legible on a shop PC's screen.
constexpr int kSmallestPixels = 8;

QFont PixelFont(const QStringList& families, QFont::StyleHint hint, int pixels, bool bold) {
  QFont font;
  font.setFamilies(families);
  // Where no family of the list is installed, the system's face of this kind.
  font.setStyleHint(hint);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

const QStringList& SansFamilies() {
  static const QStringList families{"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                    "Arial"};
  return families;
}

bool AllFit(const QFont& font, const std::vector<ShownText>& texts) {
  const QFontMetrics metrics(font);
  return std::all_of(texts.begin(), texts.end(),
                     [&](const ShownText& text) { return Fits(metrics, text); });
}

// The largest pixel size, from the face's own down to the smallest, at which
// every text fits; 0 when there is none.
int LargestFittingPixels(QFont face, const std::vector<ShownText>& texts) {
  for (int pixels = face.pixelSize(); pixels >= kSmallestPixels; --pixels) {
    face.setPixelSize(pixels);
    if (AllFit(face, texts)) return pixels;
  }
  return 0;
}

}  // namespace

QFont FormFont() {
  return PixelFont(SansFamilies(), QFont::SansSerif, 11, false);
}

QFont StatusFont() {
  return PixelFont({"Times New Roman", "Liberation Serif"}, QFont::Serif, 15, true);
}

QFont NoticeFont() {
  return PixelFont(SansFamilies(), QFont::SansSerif, 13, true);
}

const QStringList& SansFallbacks() {
  static const QStringList families{"Arimo",
                                    "Nimbus Sans",
                                    "DejaVu Sans",
                                    "Liberation Sans Narrow",
                                    "DejaVu Sans Condensed",
                                    "Nimbus Sans Narrow"};
  return families;
}

const QStringList& SerifFallbacks() {
  static const QStringList families{"Tinos", "Nimbus Roman", "DejaVu Serif"};
  return families;
}

QFont FittingFont(const QFont& wanted, const QStringList& fallbacks,
                  const std::vector<ShownText>& texts) {
  QFont best = wanted;
  int bestPixels = LargestFittingPixels(wanted, texts);
  for (const QString& family : fallbacks) {
    if (bestPixels == wanted.pixelSize()) break;
    if (!QFontDatabase::hasFamily(family)) continue;
    QFont face = wanted;
    face.setFamilies({family});
    const int pixels = LargestFittingPixels(face, texts);
    if (pixels > bestPixels) {
      best = face;
      bestPixels = pixels;
    }
  }
  best.setPixelSize(bestPixels > 0 ? bestPixels : kSmallestPixels);
  return best;
}

// The rooms are measured once the style has polished the controls, as they
// will be shown.
void FitWindowFont(QWidget& window) {
  window.ensurePolished();
  window.setFont(FittingFont(FormFont(), SansFallbacks(), TextsInWindowFont(window)));
}

void FitLabelFont(QLabel& label, const QFont& wanted, const QStringList& fallbacks,
                  const QStringList& texts) {
  label.ensurePolished();
  const QSize room = TextRoom(label);
  std::vector<ShownText> shown;
  for (const QString& text : texts) shown.push_back({text, room});
  label.setFont(FittingFont(wanted, fallbacks, shown));
}

}  // namespace zenor9
