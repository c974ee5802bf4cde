// Entry of the batch tool quorvane-cli: everything else lives in RunCli.
#include <iostream>
#include <string>
#include <vector>

#include "cli/run_cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return qv::RunCli(args, std::cout, std::cerr);
}
