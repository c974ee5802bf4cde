// The batch tool run in-process for the tests of tests/cli, with what it wrote. Header-only: only
// binaries that link qv_cli include it.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/run_cli.h"

namespace qv::test {

/// One run's exit code and everything it wrote to standard output and standard error.
struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

/// Runs quorvane-cli with `args` (without the program name).
inline CliRun RunTool(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  CliRun run;
  run.code = RunCli(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace qv::test
