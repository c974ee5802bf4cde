// The calculation report laid out on A4 pages and written as PDF with Qt's own writer: its text
// stays text (searchable and copyable), its pictures are placed in their true proportions.
#pragma once

#include <string>

#include "core/analysis/report_document.h"

namespace qv {

/// The PDF file of `doc`: a title, the section with its overlay and a scale bar in mm, the inputs
/// and each material, the report's blocks as tables of symbol, value, unit and meaning, the
/// stress map and the resistance's diagrams when the document has them, and the definitions of
/// the sign convention. Needs a QGuiApplication (GuiApplicationScope). Throws Error when the
/// writer fails.
std::string ReportPdf(const ReportDocument& doc);

}  // namespace qv
