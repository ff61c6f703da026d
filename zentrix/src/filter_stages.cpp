#include "filter_stages.h"

namespace zx {

std::string pictureStages(const ZxParams &, const Geometry &) { return {}; }

std::string soundStages(const ZxParams &) { return {}; }

} // namespace zx
