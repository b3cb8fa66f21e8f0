// hlx-mkfw: makes firmware containers for the bootloader.
#include <cstdio>

#include "MkfwCommand.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  const int rc = hlx::mkfw::RunMkfw(args, out, err);
  std::fputs(out.c_str(), stdout);
  std::fputs(err.c_str(), stderr);
  return rc;
}
