#include "bmp.h"

#include <cstring>

namespace zx {
namespace {
void put16(unsigned char *p, uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; }
void put32(unsigned char *p, uint32_t v) { put16(p, v & 0xFFFF); put16(p + 2, v >> 16); }
} // namespace

std::vector<unsigned char> encodeBmp24(const uint8_t *bgr, int stride, int width, int height)
{
    const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * uint32_t(height);
    const uint32_t fileHeader = 14, infoHeader = 40;
    std::vector<unsigned char> out(fileHeader + infoHeader + pixelBytes, 0);
    unsigned char *h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, uint32_t(out.size()));
    put32(h + 10, fileHeader + infoHeader);
    unsigned char *i = h + fileHeader;
    put32(i + 0, infoHeader);
    put32(i + 4, uint32_t(width));
    put32(i + 8, uint32_t(height)); // positive: rows run bottom-up
    put16(i + 12, 1);
    put16(i + 14, 24);
    put32(i + 20, pixelBytes);
    put32(i + 24, 2835); // 72 dpi
    put32(i + 28, 2835);
    unsigned char *pixels = h + fileHeader + infoHeader;
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels + size_t(height - 1 - y) * rowBytes, bgr + size_t(y) * stride, size_t(width) * 3);
    return out;
}

} // namespace zx
