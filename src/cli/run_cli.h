// The batch tool: lists a picture's colours or analyses its section through the same section
// session the window drives, writing the window's report, JSON or an overlay picture.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qv {

/// Exit status of RunCli: done; the work failed (one line on `err`); the command line is wrong
/// (the usage on `err`).
enum CliStatus : int { kCliDone = 0, kCliFailed = 1, kCliUsage = 2 };

/// Runs quorvane-cli with `args`, the arguments after the program name. "--help" or "--version"
/// anywhere before "--" prints the usage or the version and does nothing else. Results go to `out`
/// only when the whole command succeeded (nothing is written to `out` otherwise), and the
/// pictures (--overlay, --stress-map) replace their files only once `out` has taken the results:
/// a run that fails leaves every file as it was. Messages and notes go to `err`, one line each. A
/// progress line is shown only when `err` is std::cerr and standard error is a terminal. Drawing an
/// overlay creates a QGuiApplication (platform "offscreen" unless QT_QPA_PLATFORM is set) for the
/// duration of the call when none exists. Returns a CliStatus.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qv
