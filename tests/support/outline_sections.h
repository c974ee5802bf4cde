// Sections drawn as outlines for the tests and benchmarks: the rolled I with its root fillets,
// a slab over it, and the DXF text of any drawing.
#pragma once

#include <cstdint>
#include <string>

#include "core/outline/outline.h"

namespace qv::test {

/// The I of h 300, b 150, tw 7.1, tf 10.7 with 15 mm root fillets, centred on the origin, as
/// one loop of straight edges and quarter arcs. A = 2 b tf + (h - 2 tf) tw + (4 - pi) r^2.
OutlineLoop RolledILoop();

/// The I in `steel` under a 400 x 110.7 mm slab in `slab` painted over its top flange
/// (it covers the flange and 100 mm above it).
OutlineDrawing SlabOverI(std::uint32_t steel, std::uint32_t slab);

/// `drawing` as a DXF file in mm: each loop a closed LWPOLYLINE with its bulges, in its shape's
/// true colour, in painter's order.
std::string DxfOf(const OutlineDrawing& drawing);

}  // namespace qv::test
