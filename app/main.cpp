// zenor9-prefix: sets the prefix of the local barcode for weighed goods in a
// ЗЕНОР-9 cash register over a serial line.
#include <QApplication>

#include "app/app_state.h"
#include "app/init_com.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/window_order.h"
#include "i18n/text.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The windows speak Russian whatever the locale, their own additions (the
  // ports' tool tips) too.
  zenor9::i18n::UseLanguage(zenor9::i18n::Language::Russian);
  zenor9::WindowOrder windowOrder;
  application.installEventFilter(&windowOrder);
  zenor9::AppState state;
  zenor9::MessageBoxService messages;
  // Destroyed in reverse order: the dialog first, then the main window, whose
  // FormDestroy closes the serial channel.
  zenor9::TMainForm mainForm(state, messages);
  zenor9::TInit_Com initCom(state, messages);
  // Every window of the program, message boxes included, carries its icon.
  QApplication::setWindowIcon(mainForm.windowIcon());
  mainForm.SetSetupDialog(&initCom);
  mainForm.show();
  application.exec();
  return 0;
}
