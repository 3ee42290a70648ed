// zenor9-prefix: sets the prefix of the local barcode for weighed goods in a
// ЗЕНОР-9 cash register over a serial line.
#include <QApplication>

#include "app/init_com.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/stop_signals.h"
#include "app/window_order.h"
#include "handlers/app_state.h"
#include "handlers/handlers.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  zenor9::WindowOrder windowOrder;
  application.installEventFilter(&windowOrder);
  zenor9::AppState state;
  zenor9::QtApplicationView applicationView;
  zenor9::Handlers handlers(state, applicationView);
  // Destroyed in reverse order: the dialog first, then the main window, whose
  // FormDestroy closes the serial channel.
  zenor9::TMainForm mainForm(handlers);
  zenor9::TInit_Com initCom(handlers);
  // Every window of the program, message boxes included, carries its icon.
  QApplication::setWindowIcon(mainForm.windowIcon());
  mainForm.show();
  const zenor9::StopSignalWatcher stopSignals(mainForm);
  application.exec();
  return 0;
}
