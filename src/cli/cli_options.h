// The batch tool's command line: the options, their values checked before any file is read,
// and the usage text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/analysis/analysis_request.h"

namespace qv::cli {

inline constexpr std::string_view kProgram = "quorvane-cli";

/// A command line the tool cannot make sense of: the usage follows the message.
struct UsageError {
  std::string message;
};

/// The command line as given.
struct Options {
  std::string command;
  std::string picture;                ///< the first PICTURE
  std::vector<std::string> pictures;  ///< every PICTURE (table takes several)
  bool csv = false;                   ///< table --csv
  bool all = false;
  bool json = false;
  bool torsion = false;
  bool resistance = false;
  bool cracked = false;
  std::optional<std::string> width;
  std::optional<std::string> height;
  std::optional<std::string> pixelSize;
  std::optional<std::string> library;
  std::optional<std::string> convention;
  std::optional<std::string> eps;
  std::optional<std::string> overlay;
  std::optional<std::string> edges;        ///< --edges flat|coverage, as given
  std::optional<std::string> units;        ///< --units N-mm|kN-m|kN-cm, as given
  std::optional<std::string> maxCells;     ///< --max-cells N, as given
  std::optional<std::string> interaction;  ///< --interaction POINTS, as given
  bool momentCurvature = false;            ///< --moment-curvature
  std::optional<std::string> biaxial;      ///< --interaction-biaxial ANGLES, as given
  std::vector<std::string> uses;
  std::vector<std::string> materials;
  std::vector<std::string> nus;      ///< --nu LABEL=VALUE, as given
  std::vector<std::string> fys;      ///< --fy LABEL=VALUE or LABEL=COMPRESSION/TENSION, as given
  std::vector<std::string> actions;  ///< --action NAME=VALUE, as given
  std::vector<std::string> laws;     ///< --law LABEL=LAW, as given
  std::optional<std::string> stressMap;
  std::optional<std::string> stressField;
  std::optional<std::string> interactionPlot;  ///< --interaction-plot OUT, as given
  std::optional<std::string> report;           ///< --report OUT.pdf, as given
};

/// Reads the arguments after the program name; throws UsageError.
Options ParseArguments(const std::vector<std::string>& args);
/// Checks every value of the analyse command before any file is read, so that a typing error
/// costs no scan; throws Error with the option and the reason.
AnalysisRequest ReadAnalyseValues(const Options& o);
/// The analysis of each picture of the table command: the analyse command's values with the
/// extended values, and no output but the analysed session. Throws Error as ReadAnalyseValues.
AnalysisRequest ReadTableValues(const Options& o);

}  // namespace qv::cli

namespace qv {

/// The usage text that --help prints and usage errors show; no line is wider than 80 columns.
std::string CliUsage();

/// The line --version prints: "quorvane-cli <version>".
std::string CliVersion();

}  // namespace qv
