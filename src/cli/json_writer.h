// The batch tool's JSON output.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "core/session/session.h"

namespace qv::cli {

/// One JSON object with every value of the session's last analysis at full precision (shortest
/// round-trip form), the window's texts and hints, and each material's share; with the
/// session's extended values, also the member "extended", and with its stresses the member
/// "stress". Values that are not finite numbers are written as null.
std::string AnalysisJson(const SectionSession& s, const AnalyseValues& v);

}  // namespace qv::cli
