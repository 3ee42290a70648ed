// zenor9-prefix.exe: sets the prefix of the local barcode for weighed goods in
// a ЗЕНОР-9 cash register over a serial line; the native Windows front end of
// the handlers that the Qt program shares.
#include <windows.h>

#include "win32/application.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  zenor9::win32::Application application;
  return application.Run();
}
