// HDR pictures made SDR quickly. The float filter chain of toneMapFilters()
// costs more per 1080p picture than decoding, scaling and encoding it; this
// stage gives the same pictures (within a level or so) through a table that
// is built once by sending colours through that very chain (and checked
// against it).
#pragma once

#include "colour.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

#include <memory>
#include <string>
#include <vector>

namespace zx {

struct ToneTable;

// The colours a tone-mapped picture is given for an output tagged `out`:
// BT.709 in the output's range (limited for an RGB output, whose graph
// converts on).
ColourTags sdrColoursFor(const ColourTags &out);

// From here on, tables are made from the grid of colours for every source,
// as they are for one whose coding the exact curves do not reproduce (for
// tests of that path).
void toneMapGridOnly(bool on);

class ToneMapper {
public:
    ToneMapper() = default;
    ~ToneMapper();
    ToneMapper(const ToneMapper &) = delete;
    ToneMapper &operator=(const ToneMapper &) = delete;

    // An HDR picture in a layout the tables cover: planar 4:2:0 YUV of 8,
    // 10 or 12 bits. Others go through toneMapFilters().
    static bool takes(const AVFrame *f);

    // Makes `out` the SDR picture of `in`: 8-bit 4:2:0, the same size and
    // properties, tagged `to` (BT.709, either range). The HDR side data is
    // left behind. False (and err) only when the table cannot be made.
    bool map(const AVFrame *in, const ColourTags &to, AVFrame *out, std::string &err);

private:
    std::shared_ptr<const ToneTable> m_table;
    AVBufferPool *m_pool = nullptr;
    int m_poolSize = 0;
    std::vector<float> m_scratch, m_scratchLower;  // one row of blocks per thread
};

} // namespace zx
