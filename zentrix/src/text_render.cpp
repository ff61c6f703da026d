#include "text_render.h"

#include "text_ass.h"
#include "zentrix.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace zx {

namespace {

// The text is laid out on a libass frame this many times the picture in each
// direction, starting at the picture's size from its top-left, so text that
// runs past the picture's edges is still measured whole.
constexpr int kRoom = 3;

// The box of the pixels an image list really covers.
PixelBox coveredBox(const ASS_Image *img)
{
    PixelBox box;
    for (; img; img = img->next) {
        if ((img->color & 0xFF) == 0xFF)
            continue;
        int minX = img->w, maxX = -1, minY = img->h, maxY = -1;
        for (int y = 0; y < img->h; ++y) {
            const uint8_t *row = img->bitmap + size_t(y) * img->stride;
            for (int x = 0; x < img->w; ++x) {
                if (row[x]) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = y;
                }
            }
        }
        if (maxX >= 0)
            box.add(PixelBox{img->dst_x + minX, img->dst_y + minY, img->dst_x + maxX + 1, img->dst_y + maxY + 1});
    }
    return box;
}

} // namespace

struct TextRenderer::Impl {
    AssEngine ass;
    bool ready = false;
};

TextRenderer::TextRenderer() : d(new Impl) {}
TextRenderer::~TextRenderer() = default;

bool TextRenderer::renderWatermark(const ZxParams &set, int frameW, int frameH, Overlay &out, std::string &err)
{
    out = Overlay();
    if (set.watermarkText.empty() || frameW <= 0 || frameH <= 0 || frameW > 16384 || frameH > 16384)
        return true;
    if (!d->ready) {
        if (!d->ass.init(err))
            return false;
        d->ready = true;
    }

    AssTrackPtr track(ass_new_track(d->ass.library.get()));
    if (!track) {
        err = "cannot set up the text renderer (libass)";
        return false;
    }
    const int scriptW = scriptWidthFor(frameW, frameH);
    track->PlayResX = scriptW * kRoom;
    track->PlayResY = kScriptHeight * kRoom;
    track->WrapStyle = 2;
    track->ScaledBorderAndShadow = 1;
    track->Kerning = 1;

    const int sid = ass_alloc_style(track.get());
    const int eid = ass_alloc_event(track.get());
    if (sid < 0 || eid < 0) {
        err = "cannot set up the text renderer (libass)";
        return false;
    }
    ASS_Style &st = track->styles[sid];
    st.Name = strdup("Default");
    fillAssStyle(st, set.watermarkStyle);
    st.Alignment = VALIGN_TOP | HALIGN_LEFT;
    track->default_style = sid;

    ASS_Event &ev = track->events[eid];
    ev.Start = 0;
    ev.Duration = 1000;
    ev.Style = sid;
    ev.Name = strdup("");
    ev.Effect = strdup("");
    const std::string text = "{\\pos(" + std::to_string(scriptW) + "," + std::to_string(kScriptHeight) + ")}"
                             + plainToAssText(set.watermarkText);
    ev.Text = strdup(text.c_str());

    ASS_Renderer *r = d->ass.renderer.get();
    ass_set_frame_size(r, frameW * kRoom, frameH * kRoom);
    ass_set_storage_size(r, frameW * kRoom, frameH * kRoom);
    ass_set_pixel_aspect(r, 1.0);
    ASS_Image *images = ass_render_frame(r, track.get(), 0, nullptr);
    const PixelBox box = coveredBox(images);
    const int opacity = std::clamp(set.watermarkStyle.opacity, 0, 255);
    if (box.empty() || opacity == 0)
        return true;

    FramePtr pic = makeFrame();
    if (!pic) {
        err = "out of memory";
        return false;
    }
    pic->format = AV_PIX_FMT_RGBA;
    pic->width = box.x1 - box.x0;
    pic->height = box.y1 - box.y0;
    if (av_frame_get_buffer(pic.get(), 0) < 0) {
        err = "out of memory";
        return false;
    }
    for (int y = 0; y < pic->height; ++y)
        std::memset(pic->data[0] + size_t(y) * pic->linesize[0], 0, size_t(pic->width) * 4);
    blendAssImages(images, pic->data[0], pic->linesize[0], pic->width, pic->height, box.x0, box.y0, opacity);

    out.picture = std::move(pic);
    out.x = int(std::lround(set.watermarkTextX * frameW));
    out.y = int(std::lround(set.watermarkTextY * frameH));
    return true;
}

} // namespace zx

extern "C" int ParamsWatermarkTextBox(const ZxParams *set, int frame_w, int frame_h, double *w, double *h)
{
    if (!set || frame_w <= 0 || frame_h <= 0 || frame_w > 16384 || frame_h > 16384)
        return 0;
    double bw = 0, bh = 0;
    if (!set->watermarkText.empty()) {
        // One renderer for every caller: setting up fonts is the costly part.
        static std::mutex lock;
        static zx::TextRenderer renderer;
        ZxParams measured = *set;
        measured.watermarkStyle.opacity = 255;  // a see-through watermark still has its box
        zx::Overlay ov;
        std::string err;
        std::lock_guard<std::mutex> guard(lock);
        if (renderer.renderWatermark(measured, frame_w, frame_h, ov, err) && !ov.empty()) {
            bw = double(ov.picture->width) / frame_w;
            bh = double(ov.picture->height) / frame_h;
        }
    }
    if (w)
        *w = bw;
    if (h)
        *h = bh;
    return 1;
}
