#include "text_ass.h"

#include "ffutil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zx {

namespace {

// libass reports font lookups and script quirks at levels up to 7; only its
// errors are worth the engine's log.
void assMessage(int level, const char *fmt, va_list args, void *)
{
    if (level > 1)
        return;
    char line[512];
    vsnprintf(line, sizeof line, fmt, args);
    av_log(nullptr, AV_LOG_WARNING, "libass: %s\n", line);
}

bool isFontAttachment(const AVStream *st)
{
    if (st->codecpar->codec_type != AVMEDIA_TYPE_ATTACHMENT || !st->codecpar->extradata_size)
        return false;
    if (st->codecpar->codec_id == AV_CODEC_ID_TTF || st->codecpar->codec_id == AV_CODEC_ID_OTF)
        return true;
    const AVDictionaryEntry *mime = av_dict_get(st->metadata, "mimetype", nullptr, 0);
    return mime && (std::strstr(mime->value, "font") || std::strstr(mime->value, "truetype")
                    || std::strstr(mime->value, "opentype"));
}

} // namespace

bool AssEngine::init(std::string &err, AVFormatContext *attachments)
{
    renderer.reset();   // a renderer must not outlive its library
    library.reset(ass_library_init());
    if (!library) {
        err = "cannot set up the text renderer (libass)";
        return false;
    }
    ass_set_message_cb(library.get(), assMessage, nullptr);
    if (attachments) {
        for (unsigned i = 0; i < attachments->nb_streams; ++i) {
            const AVStream *st = attachments->streams[i];
            if (!isFontAttachment(st))
                continue;
            const AVDictionaryEntry *name = av_dict_get(st->metadata, "filename", nullptr, 0);
            ass_add_font(library.get(), name ? name->value : "attached font",
                         reinterpret_cast<const char *>(st->codecpar->extradata),
                         st->codecpar->extradata_size);
        }
    }
    renderer.reset(ass_renderer_init(library.get()));
    if (!renderer) {
        library.reset();
        err = "cannot set up the text renderer (libass)";
        return false;
    }
    ass_set_fonts(renderer.get(), nullptr, "sans-serif", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
    return true;
}

uint32_t assColour(uint32_t argb)
{
    const uint32_t alpha = argb >> 24;
    return ((argb & 0xFFFFFFu) << 8) | (255 - alpha);
}

int scriptWidthFor(int frameW, int frameH)
{
    if (frameW <= 0 || frameH <= 0)
        return kScriptHeight * 4 / 3;
    return std::max(1, int(std::lround(double(kScriptHeight) * frameW / frameH)));
}

void fillAssStyle(ASS_Style &st, const ZxTextStyle &s, int scriptHeight)
{
    std::string family = s.font;
    if (!family.empty() && family[0] == '@')
        family.erase(0, 1);
    free(st.FontName);
    st.FontName = strdup(family.empty() ? "sans-serif" : family.c_str());
    const double sizePx = std::max(1, s.fontSize) * 96.0 / 72.0 * std::max(1, scriptHeight) / kScriptHeight;
    st.FontSize = sizePx;
    st.PrimaryColour = assColour(s.color);
    st.SecondaryColour = assColour(s.color);
    st.OutlineColour = assColour(s.color2);
    st.BackColour = assColour(s.color3);
    st.Bold = s.bold ? 1 : 0;
    st.Italic = s.italic ? 1 : 0;
    st.Underline = s.underline ? 1 : 0;
    st.StrikeOut = s.strikeOut ? 1 : 0;
    st.ScaleX = std::max(1, s.scaleX) / 100.0;
    st.ScaleY = std::max(1, s.scaleY) / 100.0;
    st.Spacing = 0;
    st.Angle = 0;
    st.BorderStyle = 1;
    st.Outline = (s.color2 >> 24) ? sizePx / 16.0 : 0.0;
    st.Shadow = (s.color3 >> 24) ? sizePx / 24.0 : 0.0;
    st.Blur = 0;
}

std::string plainToAssText(const std::string &utf8)
{
    std::string out;
    out.reserve(utf8.size() + 8);
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '{':
            out += "\\{";
            break;
        case '}':
            out += "\\}";
            break;
        case '\\':
            // A word joiner keeps "\N", "\h", "\{" ... from being read as escapes.
            out += "\\\u2060";
            break;
        case '\r':
            break;
        case '\n':
            out += "\\N";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void PixelBox::add(const PixelBox &o)
{
    if (o.empty())
        return;
    if (empty()) {
        *this = o;
        return;
    }
    x0 = std::min(x0, o.x0);
    y0 = std::min(y0, o.y0);
    x1 = std::max(x1, o.x1);
    y1 = std::max(y1, o.y1);
}

PixelBox blendAssImages(const ASS_Image *img, uint8_t *rgba, int linesize, int w, int h,
                        int originX, int originY, int opacity)
{
    PixelBox touched;
    for (; img; img = img->next) {
        const uint32_t alpha = (255 - (img->color & 0xFF)) * 255u;  // x255
        if (!alpha || img->w <= 0 || img->h <= 0)
            continue;
        const uint32_t r = img->color >> 24, g = (img->color >> 16) & 0xFF, b = (img->color >> 8) & 0xFF;
        const int left = img->dst_x - originX, top = img->dst_y - originY;
        const int x0 = std::max(0, left), y0 = std::max(0, top);
        const int x1 = std::min(w, left + img->w), y1 = std::min(h, top + img->h);
        if (x1 <= x0 || y1 <= y0)
            continue;
        for (int y = y0; y < y1; ++y) {
            const uint8_t *src = img->bitmap + size_t(y - top) * img->stride + (x0 - left);
            uint8_t *dst = rgba + size_t(y) * linesize + size_t(x0) * 4;
            for (int x = x0; x < x1; ++x, ++src, dst += 4)
                if (*src)
                    blendOver(dst, r, g, b, (*src * alpha + 32512) / 65025);
        }
        touched.add(PixelBox{x0, y0, x1, y1});
    }
    scaleAlpha(rgba, linesize, touched, opacity);
    return touched;
}

void scaleAlpha(uint8_t *rgba, int linesize, const PixelBox &box, int opacity)
{
    opacity = std::clamp(opacity, 0, 255);
    if (opacity == 255)
        return;
    for (int y = box.y0; y < box.y1; ++y) {
        uint8_t *p = rgba + size_t(y) * linesize + size_t(box.x0) * 4 + 3;
        for (int x = box.x0; x < box.x1; ++x, p += 4)
            *p = uint8_t((*p * opacity + 127) / 255);
    }
}

} // namespace zx
