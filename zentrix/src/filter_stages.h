// The optional picture and sound stages of a filter graph, between the
// geometry and the output conforming. Both the converter and a preview
// player append these to their own chains, so edits look the same in both.
#pragma once

#include "geometry.h"
#include "params.h"

#include <string>

namespace zx {

// Filters (comma-separated, no pads) that apply the set's picture edits to
// frames of the geometry's output frame; "" when there is nothing to do.
// Effects, burnt-in subtitles and watermarks are stored in the set and are
// not drawn yet: this stage is where they go.
std::string pictureStages(const ZxParams &set, const Geometry &g);

// Filters for the set's sound edits; "" when there is nothing to do.
std::string soundStages(const ZxParams &set);

} // namespace zx
