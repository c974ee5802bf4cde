// Sections drawn in DXF: the closed outlines of the drawing's entities, by colour, in drawing
// order, in mm.
//
// Outlines: closed LWPOLYLINE and POLYLINE (bulges as arcs), CIRCLE, full ELLIPSE, closed SPLINE,
// HATCH boundaries, and LINE, ARC, open polylines, partial ellipses and open splines whose ends
// meet (within 1e-6 of the drawing's size) in a closed chain of one colour. Loops of one colour
// nested in each other form one shape under the even-odd rule (a tube, a plate with holes).
// Colours: the entity's true colour, else its colour index, else its layer's. Everything else
// (open chains, text, dimensions, block inserts, points) is counted and left out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>

#include "core/outline/outline.h"

namespace qv {

/// A DXF file larger than this is refused before it is read.
inline constexpr std::uintmax_t kMaxDxfBytes = std::uintmax_t{256} << 20;
/// Outline corners of a drawing, flattened curves included, at most.
inline constexpr std::int64_t kMaxOutlineVertices = 10'000'000;

/// The pixel colour (0x00BBGGRR) of colour index `index` (1 .. 255) of the drawing palette:
/// 1 red, 2 yellow, 3 green, 4 cyan, 5 blue, 6 magenta, 7 black (the foreground on white
/// paper), 8 and 9 greys; the others by the palette's layout of 24 hues in five shades, full and
/// half saturated, and six greys from 250 on. Index 7 for anything out of range.
std::uint32_t ColourOfIndex(int index);

/// The drawing in `file`. Throws Error "Cannot read drawing <name>: <reason>" when the file
/// cannot be read, is larger than kMaxDxfBytes, holds more than kMaxOutlineVertices corners, a
/// coordinate that is not a finite number or beyond 10 km, a unit that is no length of a
/// section, or no closed outline.
OutlineDrawing ReadDxfFile(const std::filesystem::path& file);

/// The same for DXF text from `in`, `name` naming it in messages, with at most `maxVertices`
/// corners.
OutlineDrawing ReadDxf(std::istream& in, const std::string& name,
                       std::int64_t maxVertices = kMaxOutlineVertices);

}  // namespace qv
