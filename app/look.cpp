#include "app/look.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <algorithm>

namespace zenor9 {

namespace {

// Below this, Cyrillic text is hardly legible on a shop PC's screen.
constexpr int kSmallestPixels = 8;

// The faces asked for in place of one the description names: first those
// with its metrics, then the installed ones that look closest to it, the
// narrow ones last.
struct Faces {
  QStringList sameMetrics;
  QFont::StyleHint kind;  // where no face of the list is installed, the system's face of this kind
  QStringList fallbacks;
};

const Faces& FacesFor(const forms::Font& font) {
  static const Faces kSans{{"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"},
                           QFont::SansSerif,
                           {"Arimo", "Nimbus Sans", "DejaVu Sans", "Liberation Sans Narrow",
                            "DejaVu Sans Condensed", "Nimbus Sans Narrow"}};
  static const Faces kSerif{{"Times New Roman", "Liberation Serif"},
                            QFont::Serif,
                            {"Tinos", "Nimbus Roman", "DejaVu Serif"}};
  return font.face == std::string_view("Times New Roman") ? kSerif : kSans;
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

QFont PixelFont(const forms::Font& font) {
  const Faces& faces = FacesFor(font);
  QStringList families = faces.sameMetrics;
  if (!families.contains(font.face)) families.prepend(font.face);
  QFont pixelFont;
  pixelFont.setFamilies(families);
  pixelFont.setStyleHint(faces.kind);
  pixelFont.setPixelSize(font.pixels);
  pixelFont.setBold(font.bold);
  return pixelFont;
}

const QStringList& Fallbacks(const forms::Font& font) {
  return FacesFor(font).fallbacks;
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
void ApplyFonts(QWidget& window, const forms::Form& form,
                const std::map<std::string_view, QStringList>& shown) {
  window.ensurePolished();
  for (const forms::Control& control : form.controls) {
    if (control.style == nullptr) continue;
    auto& label = *window.findChild<QLabel*>(control.name);
    const auto texts = shown.find(control.name);
    const QSize room = TextRoom(label);
    std::vector<ShownText> fitted;
    for (const QString& text : texts == shown.end() ? QStringList{label.text()} : texts->second)
      fitted.push_back({text, room});
    const forms::Font& font = control.style->font;
    label.setFont(FittingFont(PixelFont(font), Fallbacks(font), fitted));
    const forms::Rgb& colour = control.style->colour;
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
    label.setPalette(palette);
  }
  window.setFont(
      FittingFont(PixelFont(form.font), Fallbacks(form.font), TextsInWindowFont(window)));
}

}  // namespace zenor9
