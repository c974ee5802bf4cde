// Sections drawn in SVG: the filled shapes of the drawing, by fill colour, in painting order, in
// mm with y upwards.
//
// The file is checked before Qt SVG sees it: malformed XML, scripts, foreign objects, images,
// references to anything outside the file and entity declarations are refused, so nothing is
// fetched or run. Qt SVG then paints the drawing into a recording device that keeps each filled
// shape with its transform: arcs that Qt turned into Bezier curves are recognised and kept as
// exact arcs, circles stay exact, other curves are flattened to kFlatteningTolerance of the
// drawing's size. Strokes, lines, text, gradients and patterns are counted and left out.
//
// Units: width and height with a physical unit (mm, cm, in, pt, pc, Q) give the drawing's size,
// the viewBox placed in it as SVG does (preserveAspectRatio); without them one user unit is one
// mm.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <string>

#include "core/outline/dxf_reader.h"
#include "core/outline/outline.h"

namespace qv {

/// An SVG file larger than this is refused before it is read: Qt SVG holds the whole document,
/// several times its size, and a section drawing is a few hundred kB at most.
inline constexpr std::int64_t kMaxSvgBytes = std::int64_t{64} << 20;

struct SvgLimits {
  std::int64_t maxBytes = kMaxSvgBytes;
  std::int64_t maxVertices = kMaxOutlineVertices;  ///< outline corners, flattened curves included
};

/// The drawing in the file at `path`. Throws Error "Cannot read drawing <name>: <reason>" when
/// the file cannot be read, is larger than the limit, is refused by the checks above, holds
/// more corners than the limit, has a size or a coordinate that is not finite or beyond 10 km,
/// fills crossing loops by the non-zero rule, or has no filled closed outline. A QGuiApplication
/// is made for the call when the process has none.
OutlineDrawing ReadSvgFile(const std::string& path, const SvgLimits& limits = {});

/// The same for the SVG text `data`, `name` naming it in messages.
OutlineDrawing ReadSvg(const QByteArray& data, const std::string& name,
                       const SvgLimits& limits = {});

}  // namespace qv
