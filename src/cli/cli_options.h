// The batch tool's command line: the options, their values checked before any file is read,
// and the usage text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/session/session.h"

namespace qv::cli {

inline constexpr std::string_view kProgram = "quorvane-cli";

/// A command line the tool cannot make sense of: the usage follows the message.
struct UsageError {
  std::string message;
};

/// The command line as given.
struct Options {
  std::string command;
  std::string picture;
  bool all = false;
  bool json = false;
  bool torsion = false;
  std::optional<std::string> width;
  std::optional<std::string> height;
  std::optional<std::string> library;
  std::optional<std::string> convention;
  std::optional<std::string> eps;
  std::optional<std::string> overlay;
  std::optional<std::string> edges;  ///< --edges flat|coverage, as given
  std::vector<std::string> uses;
  std::vector<std::string> materials;
  std::vector<std::string> nus;      ///< --nu LABEL=VALUE, as given
  std::vector<std::string> fys;      ///< --fy LABEL=VALUE or LABEL=COMPRESSION/TENSION, as given
  std::vector<std::string> actions;  ///< --action NAME=VALUE, as given
  std::optional<std::string> stressMap;
  std::optional<std::string> stressField;
};

/// One --material LABEL@NAME@E@RHO.
struct MaterialOverride {
  std::string label;
  std::string name;
  double E = 1;
  double rho = 1;
};

/// Every value of the analyse command, checked.
struct AnalyseValues {
  SectionSize size;
  /// --use: the colours of the section, in the order given.
  std::vector<std::string> uses;
  /// --torsion: the extended values too.
  bool torsion = false;
  SignConvention convention = SignConvention::DorvastPelkam;
  double eps = 1.0;
  std::vector<MaterialOverride> materials;
  /// --nu: Poisson's ratios by label, in the order given, each label once.
  std::vector<std::pair<std::string, double>> nus;
  /// --fy: strengths by label, in the order given, each label once.
  std::vector<std::pair<std::string, Strength>> strengths;
  /// --action: the actions in their formal names (the convention's names read), when any.
  std::optional<SectionActions> actions;
  /// --stress-field: what the --stress-map shows.
  StressKind stressField = StressKind::VonMises;
  /// --edges: how smoothed edges are read (flat unless given).
  EdgeMode edges = EdgeMode::Flat;
};

/// `text` with its control characters written as "\r", "\n", "\t" or "\xHH": a value
/// quoted in a refusal, or the refusal itself, can then neither split the one line it is given on
/// standard error nor forge another.
std::string Escaped(std::string_view text);

/// Reads the arguments after the program name; throws UsageError.
Options ParseArguments(const std::vector<std::string>& args);
/// Checks every value of the analyse command before any file is read, so that a typing error
/// costs no scan; throws Error with the option and the reason.
AnalyseValues ReadAnalyseValues(const Options& o);

}  // namespace qv::cli

namespace qv {

/// The usage text that --help prints and usage errors show; no line is wider than 80 columns.
std::string CliUsage();

/// The line --version prints: "quorvane-cli <version>".
std::string CliVersion();

}  // namespace qv
