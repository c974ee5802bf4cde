// An analysed session as one JSON document beside its text report (SectionSession::
// FullReportText): every value at full precision, the window's texts and tooltips, each
// material's share (what `quorvane-cli analyse --json` prints).
#pragma once

#include <string>

#include "core/base/json_value.h"
#include "core/session/session.h"

namespace qv {

/// One JSON object with every value of the session's last analysis at full precision (shortest
/// round-trip form), the window's texts and hints, and each material's share; with the
/// session's extended values, also the member "extended", and with its stresses the member
/// "stress". Values that are not finite numbers are written as null.
JsonValue AnalysisJson(const SectionSession& s, const SectionSize& size);

/// The document's text, a member per line at the top and in "extended" and "stress", and a line
/// end after it.
std::string AnalysisJsonText(const SectionSession& s, const SectionSize& size);

}  // namespace qv
