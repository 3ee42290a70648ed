// Windows: the command line is UTF-16. The narrow arguments of main() would be
// in the ANSI code page, where Cyrillic (write выкл, --port C:\Тест\порт, a
// COM map entry) is lost or garbled; the wide ones become UTF-8, the program's
// own encoding.
#include <string>
#include <vector>

#include "cli/program.h"
#include "link/win32_text.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(zenor9::Utf8(argv[i]));
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  return zenor9::cli::RunProgram(argc, pointers.data());
}
