// Runs the test class named by the first argument, or every class.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "app/window_order.h"
#include "tests/app/app_fixture.h"

int main(int argc, char* argv[]) {
  // The COM map is read from an empty settings folder of the test's own, never
  // from the user's.
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
  // The window's writes are journaled there too, and so are the program's that
  // a test starts.
  qputenv("ZENOR9_JOURNAL", settings.path().toUtf8());
  QApplication application(argc, argv);
  // The windows are kept in order as in the program.
  zenor9::WindowOrder windowOrder;
  application.installEventFilter(&windowOrder);
  QStringList arguments = QApplication::arguments();
  std::string only;
  if (arguments.size() > 1 && !arguments[1].startsWith('-'))
    only = arguments.takeAt(1).toStdString();
  const auto& registry = zenor9::test::TestRegistry();
  if (!only.empty() && registry.count(only) == 0) {
    qCritical("no test class %s", only.c_str());
    return 1;
  }
  int failures = 0;
  for (const auto& [name, make] : registry) {
    if (!only.empty() && name != only) continue;
    const std::unique_ptr<QObject> suite = make();
    failures += QTest::qExec(suite.get(), arguments);
  }
  return failures == 0 ? 0 : 1;
}
