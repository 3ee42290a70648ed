// POSIX: the arguments are the bytes the shell passed, UTF-8 in any UTF-8 locale.
#include "cli/program.h"

int main(int argc, char** argv) {
  return zenor9::cli::RunProgram(argc, argv);
}
