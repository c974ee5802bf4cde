// Plastic moments of a drawing straight from its outlines: the stress blocks of each material
// above and below (left and right of) the plastic neutral axis, integrated exactly.
#pragma once

#include "core/library/strength_table.h"
#include "core/outline/outline.h"
#include "core/section/plastic.h"
#include "core/section/section_result.h"

namespace qv {

class TPROPClass;

/// The plastic moments of the materials in use of `library` in `drawing`, exactly from the
/// outlines: the values and texts of ComputePlasticSection, without a pixel. Each material's
/// region (MaterialBoundaries: later shapes cover earlier ones) yields at its strength from
/// `strengths`, in compression on one side of the axis and in tension on the other; materials
/// with E = 0 carry nothing and need no strength. The axis is where the forces balance, found on
/// the exact areas to about 1e-15 of the section's depth; where they balance over a band that
/// carries nothing (a gap between two parts) it lies in the band's middle. Axis positions are mm
/// down from the section box's top edge `boxTop` (drawing y, upwards) or right of its left edge
/// `boxLeft`. Wel, for the shape factor, takes `section`'s stiffnesses about the elastic centre
/// as the pixel version does (ElasticCentreOf: moved from its rounded NC; as they stand when it
/// has no pixel size) and the fibre of each material farthest from the centre of the outlines'
/// exact areas, from their exact extents.
/// Throws Error "an outline crosses itself" as MaterialBoundaries does.
PlasticOutcome OutlinePlasticSection(const OutlineDrawing& drawing, const TPROPClass& library,
                                     const StrengthTable& strengths, const SectionResult& section,
                                     double boxLeft, double boxTop);

}  // namespace qv
