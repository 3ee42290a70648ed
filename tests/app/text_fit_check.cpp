// text_fit_check: builds the program's two windows as it starts them, in the
// fonts this system has, and checks that every text shows whole: each label,
// check box, radio button and push button, ManualLabel's three lines, each text
// of the status line and the footer, each within the room its control gives
// it (the font's advance and height against the control's contents), every
// control where the window's description puts it. Prints the font each window uses
// and each text that does not fit; exits 1 when one does not. With --families
// it prints the families the program asks for, one a line.
//
// It links no test framework, so that it runs on a system that has only what
// the package brought (see scripts/check-clean-root.sh).
#include <QApplication>
#include <QFontInfo>
#include <QTextStream>

#include "app/init_com.h"
#include "app/look.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/text_fit.h"
#include "forms/forms.h"
#include "handlers/app_state.h"
#include "handlers/handlers.h"
#include "handlers/texts.h"

namespace {

namespace forms = zenor9::forms;

QTextStream out(stdout);

// Every text the status line can show.
const QStringList kStatusTexts{zenor9::kStatusConnected, zenor9::kStatusNoLink, zenor9::kStatusRead,
                               zenor9::kStatusWritten};

QString Describe(const QFont& font) {
  return QString("%1, %2%3 px")
      .arg(QFontInfo(font).family(), font.bold() ? "bold, " : "")
      .arg(QFontInfo(font).pixelSize());
}

// Counts and names each text of `control` that does not fit its room.
int CheckTexts(const QWidget& control, const QStringList& texts) {
  const QFontMetrics metrics(control.font());
  const QSize room = zenor9::TextRoom(control);
  int cut = 0;
  for (const QString& text : texts) {
    const QSize needed = zenor9::TextSize(metrics, text);
    if (text.isEmpty() || (needed.width() <= room.width() && needed.height() <= room.height()))
      continue;
    out << control.objectName() << ": \"" << QString(text).replace('\n', " / ") << "\" needs "
        << needed.width() << "x" << needed.height() << " px, has " << room.width() << "x"
        << room.height() << "\n";
    ++cut;
  }
  return cut;
}

// Counts the controls of `window` that the fonts moved or resized: each must
// stand where `form` puts it; a label that sizes itself to its text keeps its
// place.
int CheckPlaces(const QWidget& window, const forms::Form& form) {
  int moved = 0;
  for (const forms::Control& placed : form.controls) {
    const QWidget* control = window.findChild<QWidget*>(placed.name);
    const QRect rect(placed.rect.left, placed.rect.top, placed.rect.width, placed.rect.height);
    const bool sizesItself = placed.kind == forms::Kind::ShadowLabel;
    if (control != nullptr &&
        (sizesItself ? control->pos() == rect.topLeft() : control->geometry() == rect))
      continue;
    out << placed.name << ": not where the description puts it\n";
    ++moved;
  }
  return moved;
}

int CheckWindow(const QWidget& window, const forms::Form& form) {
  out << window.objectName() << " font: " << Describe(window.font()) << "\n";
  int faults = CheckPlaces(window, form);
  for (const QWidget* control : window.findChildren<QWidget*>()) {
    const bool isStatus = control->objectName() == "PanelStatus";
    if (control->testAttribute(Qt::WA_SetFont))
      out << control->objectName() << " font: " << Describe(control->font()) << "\n";
    faults += CheckTexts(*control, isStatus ? kStatusTexts : QStringList{zenor9::TextOf(*control)});
  }
  return faults;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (QApplication::arguments().contains("--families")) {
    for (const forms::Form* form : {&forms::MainForm(), &forms::InitCom()}) {
      std::vector<forms::Font> fonts{form->font};
      for (const forms::Control& control : form->controls)
        if (control.style != nullptr) fonts.push_back(control.style->font);
      for (const forms::Font& font : fonts)
        for (const QString& family : zenor9::PixelFont(font).families() + zenor9::Fallbacks(font))
          out << family << "\n";
    }
    return 0;
  }
  zenor9::AppState state;
  zenor9::QtApplicationView applicationView;
  zenor9::Handlers handlers(state, applicationView);
  zenor9::TMainForm form(handlers);
  zenor9::TInit_Com dialog(handlers);

  const int faults = CheckWindow(form, forms::MainForm()) + CheckWindow(dialog, forms::InitCom());
  out << (faults == 0 ? "every text fits\n" : QString("%1 faults\n").arg(faults));
  return faults == 0 ? 0 : 1;
}
