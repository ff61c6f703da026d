#pragma once

#include <cstdint>
#include <vector>

namespace zx {

// A 24-bit bottom-up Windows BMP file (file header included) of a BGR24
// picture given top-down with its own stride.
std::vector<unsigned char> encodeBmp24(const uint8_t *bgr, int stride, int width, int height);

} // namespace zx
