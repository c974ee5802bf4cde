// Drawings opened where pictures are: which files are drawings, and reading them. DXF is read
// here; SVG needs Qt's SVG renderer, which the core does not link, so the program, the batch tool
// and the Python module each install their reader at start-up.
#pragma once

#include <functional>
#include <string>

#include "core/outline/outline.h"

namespace qv {

/// The file is a drawing by its name: ".svg" or ".dxf", in any letter case.
bool IsDrawingFile(const std::string& path);

/// Reads the SVG drawing at a path; throws Error "Cannot read drawing <name>: <reason>".
using SvgReader = std::function<OutlineDrawing(const std::string& path)>;

/// The reader ReadDrawingFile uses for SVG drawings, for the whole process.
void InstallSvgReader(SvgReader reader);

/// The drawing at `path`, DXF or SVG by its name. Throws Error "Cannot read drawing <name>:
/// ..." when it cannot be read, or when no SVG reader is installed for an SVG drawing.
OutlineDrawing ReadDrawingFile(const std::string& path);

}  // namespace qv
