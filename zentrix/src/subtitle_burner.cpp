#include "subtitle_burner.h"

#include "text_ass.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zx {

namespace {

// A text event whose end is unknown (captions, lyrics) lasts until the next
// one starts; until then it gets this provisional length.
constexpr long long kOpenEndedMs = 3600LL * 1000;
// Events fed from a stream that ended this long before the newest one are
// dropped, so a long film does not slow every frame down.
constexpr int64_t kKeepBehindUs = 120LL * 1000 * 1000;
constexpr int kPruneAbove = 512;

// Space kept between the subtitles and the edge they are anchored to, in
// script pixels (of 480 lines).
constexpr int kBaseMargin = 12;

// A palette bitmap kept run-length coded: a film's worth of DVD or Blu-ray
// subtitles decoded at once would otherwise take hundreds of megabytes.
struct PaletteRect {
    int x = 0, y = 0, w = 0, h = 0;
    uint32_t palette[256] = {};       // 0xAARRGGBB
    std::vector<uint8_t> runs;        // (count 1..255, index) pairs
    std::vector<uint32_t> rowStart;   // offset into runs per row

    void unpackRow(int row, uint8_t *line) const
    {
        size_t p = rowStart[size_t(row)];
        int x = 0;
        while (x < w && p + 1 < runs.size()) {
            const int n = std::min<int>(runs[p], w - x);
            std::memset(line + x, runs[p + 1], size_t(n));
            x += n;
            p += 2;
        }
        if (x < w)
            std::memset(line + x, 0, size_t(w - x));
    }
};

struct BitmapEvent {
    uint64_t id = 0;
    int64_t startUs = 0;
    int64_t endUs = INT64_MAX;   // INT64_MAX: until the next event
    int canvasW = 0, canvasH = 0;
    std::vector<PaletteRect> rects;
};

bool packRect(const AVSubtitleRect *r, PaletteRect &out)
{
    if (r->type != SUBTITLE_BITMAP || r->w <= 0 || r->h <= 0 || !r->data[0] || !r->data[1])
        return false;
    out.x = r->x;
    out.y = r->y;
    out.w = r->w;
    out.h = r->h;
    const int colours = std::clamp(r->nb_colors, 0, 256);
    std::memcpy(out.palette, r->data[1], size_t(colours) * 4);
    out.rowStart.resize(size_t(r->h));
    for (int y = 0; y < r->h; ++y) {
        out.rowStart[size_t(y)] = uint32_t(out.runs.size());
        const uint8_t *row = r->data[0] + size_t(y) * r->linesize[0];
        for (int x = 0; x < r->w;) {
            const uint8_t v = row[x];
            int n = 1;
            while (x + n < r->w && n < 255 && row[x + n] == v)
                ++n;
            out.runs.push_back(uint8_t(n));
            out.runs.push_back(v);
            x += n;
        }
    }
    return true;
}

std::string defaultHeader(int scriptW, int scriptH)
{
    // The Default style's values here are placeholders: fillAssStyle() sets
    // them from the parameter set once libass has parsed the header.
    return "[Script Info]\n"
           "ScriptType: v4.00+\n"
           "PlayResX: " + std::to_string(scriptW) + "\n"
           "PlayResY: " + std::to_string(scriptH) + "\n"
           "ScaledBorderAndShadow: yes\n"
           "WrapStyle: 0\n"
           "\n"
           "[V4+ Styles]\n"
           "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, "
           "Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, "
           "Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
           "Style: Default,sans-serif,21,&H00FFFFFF,&H00FFFFFF,&H80000000,&H00000000,0,0,0,0,100,100,"
           "0,0,1,1,1,2,10,10,10,1\n"
           "\n"
           "[Events]\n"
           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
}

// anchorX/anchorY pick the alignment by thirds of the picture (left, centre,
// right; top, middle, bottom) and the margins put the text's anchored edge
// (or centre) at that fraction, kBaseMargin away from the picture's edge.
void placeByAnchor(ASS_Style &st, double ax, double ay, int scriptW, int scriptH)
{
    ax = std::clamp(ax, 0.0, 1.0);
    ay = std::clamp(ay, 0.0, 1.0);
    const int base = int(std::lround(double(kBaseMargin) * scriptH / kScriptHeight));
    int h = HALIGN_CENTER;
    st.MarginL = st.MarginR = base;
    if (ax < 1.0 / 3) {
        h = HALIGN_LEFT;
        st.MarginL += int(std::lround(ax * scriptW));
    } else if (ax > 2.0 / 3) {
        h = HALIGN_RIGHT;
        st.MarginR += int(std::lround((1 - ax) * scriptW));
    } else if (ax >= 0.5) {
        st.MarginL += int(std::lround((2 * ax - 1) * scriptW));
    } else {
        st.MarginR += int(std::lround((1 - 2 * ax) * scriptW));
    }
    int v = VALIGN_CENTER;
    st.MarginV = base;
    if (ay < 1.0 / 3) {
        v = VALIGN_TOP;
        st.MarginV += int(std::lround(ay * scriptH));
    } else if (ay > 2.0 / 3) {
        v = VALIGN_SUB;
        st.MarginV += int(std::lround((1 - ay) * scriptH));
    }
    st.Alignment = v | h;
}

// PlayResX/PlayResY of a decoder's own ASS header, or 0.
int headerValue(const AVCodecContext *dec, const char *key)
{
    if (!dec->subtitle_header || dec->subtitle_header_size <= 0)
        return 0;
    const std::string header(reinterpret_cast<const char *>(dec->subtitle_header), size_t(dec->subtitle_header_size));
    const size_t at = header.find(key);
    return at == std::string::npos ? 0 : std::atoi(header.c_str() + at + std::strlen(key));
}

std::string fileUrl(const std::string &path)
{
    // The file protocol, named outright, keeps a name holding ':' (or one
    // that looks like another protocol's URL) a plain file name.
    return "file:" + path;
}

} // namespace

struct SubtitleBurner::Impl {
    enum class Mode { None, Text, Bitmap };
    Mode mode = Mode::None;
    int frameW = 0, frameH = 0;
    int opacity = 255;
    int64_t offsetUs = 0;
    bool fed = false;              // events arrive while converting (stream, captions)

    int stream = -1;
    int64_t streamStartUs = 0;     // subtracted from inner packets' times
    int videoHeightHint = 0;       // NTSC or PAL guess for DVD bitmaps of unknown size
    CodecCtxPtr dec;

    // text
    AssEngine ass;
    AssTrackPtr track;
    std::vector<int> openEvents;   // events of unknown end, closed by the next event
    int64_t newestUs = 0;

    // bitmaps, sorted by start
    std::vector<BitmapEvent> bitmaps;
    uint64_t nextId = 1;
    uint64_t shownId = 0;

    // Two canvases taken in turn, so a changed picture comes back as another
    // AVFrame and a caller holding a reference to the last one keeps it intact.
    FramePtr canvas[2];
    PixelBox dirty[2];
    int current = 1;
    const AVFrame *last = nullptr;

    int invalidText = 0;           // decodes refused as text that is not UTF-8

    bool openDecoder(const AVCodecParameters *par, AVRational tb, std::string &err,
                     const char *charenc = nullptr);
    bool setupText(AVFormatContext *fonts, const ZxParams &set, std::string &err);
    void decode(const AVPacket *pkt, int64_t baseUs, bool packetTime = false);
    void addText(const AVSubtitle &sub, int64_t ptsUs);
    void addBitmaps(const AVSubtitle &sub, int64_t ptsUs);
    void pruneText();
    bool readFile(const ZxParams &set, std::string &err);
    bool readFileAs(const ZxParams &set, const char *charenc, std::string &err);
    AVFrame *freshCanvas();
    const AVFrame *textCanvas(int64_t tUs);
    const AVFrame *bitmapCanvas(int64_t tUs);
};

bool SubtitleBurner::Impl::openDecoder(const AVCodecParameters *par, AVRational tb, std::string &err,
                                       const char *charenc)
{
    const AVCodec *codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        err = std::string("no decoder for subtitles of type ") + avcodec_get_name(par->codec_id);
        return false;
    }
    dec.reset(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), par) < 0) {
        err = "out of memory";
        return false;
    }
    dec->pkt_timebase = tb;
    AVDictionary *opts = nullptr;
    if (charenc)
        av_dict_set(&opts, "sub_charenc", charenc, 0);
    int rc = avcodec_open2(dec.get(), codec, &opts);
    av_dict_free(&opts);
    if (rc < 0) {
        err = "cannot open the subtitle decoder: " + avErr(rc);
        return false;
    }
    const AVCodecDescriptor *desc = avcodec_descriptor_get(par->codec_id);
    mode = desc && (desc->props & AV_CODEC_PROP_BITMAP_SUB) ? Mode::Bitmap : Mode::Text;
    return true;
}

bool SubtitleBurner::Impl::setupText(AVFormatContext *fonts, const ZxParams &set, std::string &err)
{
    if (!ass.init(err, fonts))
        return false;
    track.reset(ass_new_track(ass.library.get()));
    if (!track) {
        err = "cannot set up the text renderer (libass)";
        return false;
    }
    const int scriptW = scriptWidthFor(frameW, frameH);
    const bool ownStyles = dec && (dec->codec_id == AV_CODEC_ID_ASS || dec->codec_id == AV_CODEC_ID_SSA)
                           && dec->subtitle_header && dec->subtitle_header_size > 0;
    if (ownStyles) {
        ass_process_codec_private(track.get(), reinterpret_cast<char *>(dec->subtitle_header),
                                  dec->subtitle_header_size);
    } else {
        // Captions place their rows with \pos in the decoder's own script
        // size; every other plain format is laid out on ours.
        int playW = scriptW, playH = kScriptHeight;
        if (dec && dec->codec_id == AV_CODEC_ID_EIA_608) {
            const int w = headerValue(dec.get(), "PlayResX:"), h = headerValue(dec.get(), "PlayResY:");
            if (w > 0 && h > 0) {
                playW = w;
                playH = h;
            }
        }
        std::string header = defaultHeader(playW, playH);
        ass_process_codec_private(track.get(), header.data(), int(header.size()));
        for (int i = 0; i < track->n_styles; ++i) {
            ASS_Style &st = track->styles[i];
            if (st.Name && std::strcmp(st.Name, "Default") == 0) {
                fillAssStyle(st, set.subtitleStyle, playH);
                placeByAnchor(st, set.subtitleStyle.anchorX, set.subtitleStyle.anchorY, playW, playH);
            }
        }
    }
    if (!track->event_format) {
        err = "the subtitles have no usable header";
        return false;
    }
    ASS_Renderer *r = ass.renderer.get();
    ass_set_frame_size(r, frameW, frameH);
    ass_set_storage_size(r, frameW, frameH);
    ass_set_pixel_aspect(r, 1.0);
    return true;
}

// packetTime: the event starts at the packet's time whatever the decoder
// says (the caption decoder stamps real-time output with an older time).
void SubtitleBurner::Impl::decode(const AVPacket *pkt, int64_t baseUs, bool packetTime)
{
    AVSubtitle sub{};
    int got = 0;
    // avcodec_decode_subtitle2 wants a writable packet type but does not change it.
    const int rc = avcodec_decode_subtitle2(dec.get(), &sub, &got, const_cast<AVPacket *>(pkt));
    if (rc == AVERROR_INVALIDDATA && mode == Mode::Text)
        ++invalidText;
    if (rc < 0 || !got)
        return;
    int64_t ptsUs = sub.pts;
    if (ptsUs == AV_NOPTS_VALUE || packetTime) {
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        ptsUs = ts == AV_NOPTS_VALUE ? newestUs + baseUs : av_rescale_q(ts, dec->pkt_timebase, AV_TIME_BASE_Q);
    }
    ptsUs -= baseUs;
    if (mode == Mode::Text)
        addText(sub, ptsUs);
    else
        addBitmaps(sub, ptsUs);
    avsubtitle_free(&sub);
}

void SubtitleBurner::Impl::addText(const AVSubtitle &sub, int64_t ptsUs)
{
    const long long startMs = (ptsUs >= 0 ? ptsUs / 1000 : -((-ptsUs + 999) / 1000)) + sub.start_display_time;
    const bool endKnown = sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX;
    for (int e : openEvents) {
        if (e < track->n_events) {
            ASS_Event &ev = track->events[e];
            if (startMs > ev.Start && ev.Start + ev.Duration > startMs)
                ev.Duration = startMs - ev.Start;
        }
    }
    openEvents.clear();
    for (unsigned i = 0; i < sub.num_rects; ++i) {
        const AVSubtitleRect *r = sub.rects[i];
        if (!r->ass)
            continue;
        const int before = track->n_events;
        ass_process_chunk(track.get(), r->ass, int(std::strlen(r->ass)), startMs,
                          endKnown ? sub.end_display_time - sub.start_display_time : kOpenEndedMs);
        if (!endKnown && track->n_events > before)
            openEvents.push_back(track->n_events - 1);
    }
    newestUs = std::max(newestUs, ptsUs);
    if (fed && track->n_events > kPruneAbove)
        pruneText();
}

void SubtitleBurner::Impl::pruneText()
{
    const long long keepMs = (newestUs - kKeepBehindUs) / 1000;
    std::vector<int> moved(size_t(track->n_events), -1);
    int kept = 0;
    for (int i = 0; i < track->n_events; ++i) {
        ASS_Event &ev = track->events[i];
        if (ev.Start + ev.Duration < keepMs) {
            ass_free_event(track.get(), i);
            continue;
        }
        moved[size_t(i)] = kept;
        if (kept != i)
            track->events[kept] = ev;
        ++kept;
    }
    track->n_events = kept;
    std::vector<int> open;
    for (int e : openEvents)
        if (e < int(moved.size()) && moved[size_t(e)] >= 0)
            open.push_back(moved[size_t(e)]);
    openEvents.swap(open);
}

void SubtitleBurner::Impl::addBitmaps(const AVSubtitle &sub, int64_t ptsUs)
{
    BitmapEvent ev;
    ev.id = nextId++;
    ev.startUs = ptsUs + int64_t(sub.start_display_time) * 1000;
    if (sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX)
        ev.endUs = ptsUs + int64_t(sub.end_display_time) * 1000;
    for (unsigned i = 0; i < sub.num_rects; ++i) {
        PaletteRect pr;
        if (packRect(sub.rects[i], pr))
            ev.rects.push_back(std::move(pr));
    }
    ev.canvasW = dec->width;
    ev.canvasH = dec->height;
    if (ev.canvasW <= 0 || ev.canvasH <= 0) {
        // DVD subpictures are drawn on the DVD's own frame, 720 wide.
        int bottom = 0;
        for (const PaletteRect &r : ev.rects)
            bottom = std::max(bottom, r.y + r.h);
        ev.canvasW = 720;
        ev.canvasH = (bottom > 480 || videoHeightHint == 576 || videoHeightHint == 288) ? 576 : 480;
    }
    newestUs = std::max(newestUs, ev.startUs);

    auto at = std::upper_bound(bitmaps.begin(), bitmaps.end(), ev.startUs,
                               [](int64_t t, const BitmapEvent &b) { return t < b.startUs; });
    // What was shown before ends when this starts: DVD and Blu-ray subtitles
    // replace each other, and an empty one only clears the screen.
    if (at != bitmaps.begin()) {
        BitmapEvent &prev = *(at - 1);
        if (prev.endUs > ev.startUs)
            prev.endUs = ev.startUs;
    }
    if (at != bitmaps.end() && ev.endUs > at->startUs)
        ev.endUs = at->startUs;
    if (!ev.rects.empty())
        bitmaps.insert(at, std::move(ev));

    if (fed && bitmaps.size() > size_t(kPruneAbove)) {
        const int64_t keep = newestUs - kKeepBehindUs;
        auto firstKept = std::find_if(bitmaps.begin(), bitmaps.end(),
                                      [keep](const BitmapEvent &b) { return b.endUs >= keep; });
        bitmaps.erase(bitmaps.begin(), firstKept);
    }
}

bool SubtitleBurner::Impl::readFile(const ZxParams &set, std::string &err)
{
    const bool ok = readFileAs(set, nullptr, err);
    if (!invalidText)
        return ok;
    // Text that is not UTF-8: most such files were written on Windows in its
    // Western code page. Read again, converting.
    dec.reset();
    track.reset();   // before the library that made it
    invalidText = 0;
    openEvents.clear();
    newestUs = 0;
    return readFileAs(set, "CP1252", err);
}

bool SubtitleBurner::Impl::readFileAs(const ZxParams &set, const char *charenc, std::string &err)
{
    const std::string &path = set.subtitleFile;
    const std::string cannot = "cannot read the subtitle file " + path;
    AVFormatContext *raw = nullptr;
    int rc = avformat_open_input(&raw, fileUrl(path).c_str(), nullptr, nullptr);
    if (rc < 0) {
        err = cannot + ": " + avErr(rc);
        return false;
    }
    InputPtr in(raw);
    avformat_find_stream_info(in.get(), nullptr);
    const int si = av_find_best_stream(in.get(), AVMEDIA_TYPE_SUBTITLE, -1, -1, nullptr, 0);
    if (si < 0) {
        err = cannot + ": it holds no subtitles";
        return false;
    }
    const AVStream *st = in->streams[si];
    std::string why;
    if (!openDecoder(st->codecpar, st->time_base, why, charenc)) {
        err = cannot + ": " + why;
        return false;
    }
    if (mode == Mode::Text && !setupText(in.get(), set, err))
        return false;

    PacketPtr pkt = makePacket();
    size_t events = 0;
    while ((rc = av_read_frame(in.get(), pkt.get())) >= 0) {
        if (pkt->stream_index == si) {
            const size_t before = mode == Mode::Text ? size_t(track->n_events) : bitmaps.size();
            decode(pkt.get(), 0);
            events += (mode == Mode::Text ? size_t(track->n_events) : bitmaps.size()) - before;
        }
        av_packet_unref(pkt.get());
    }
    if (mode == Mode::Bitmap) {
        // Flush a decoder that holds the last display set back.
        AVPacket *empty = av_packet_alloc();
        if (empty) {
            decode(empty, 0);
            av_packet_free(&empty);
        }
        events = bitmaps.size();
    }
    if (!events) {
        err = cannot + ": it holds no subtitles";
        return false;
    }
    return true;
}

SubtitleBurner::SubtitleBurner() : d(new Impl) {}
SubtitleBurner::~SubtitleBurner() = default;

bool SubtitleBurner::open(const ZxParams &set, AVFormatContext *ic, int frameW, int frameH, std::string &err)
{
    d.reset(new Impl);
    if (frameW <= 0 || frameH <= 0 || frameW > 16384 || frameH > 16384) {
        err = "bad frame size for subtitles";
        return false;
    }
    d->frameW = frameW;
    d->frameH = frameH;
    d->opacity = std::clamp(set.subtitleStyle.opacity, 0, 255);
    d->offsetUs = set.subtitleTimeValue;
    if (ic) {
        const int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (vi >= 0)
            d->videoHeightHint = ic->streams[vi]->codecpar->height;
    }

    bool ok = true;
    if (set.subtitleStream >= 0) {
        int n = set.subtitleStream;
        const AVStream *st = nullptr;
        for (unsigned i = 0; ic && i < ic->nb_streams && !st; ++i)
            if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE && n-- == 0)
                st = ic->streams[i];
        if (!st) {
            err = "the source has no subtitle stream " + std::to_string(set.subtitleStream + 1);
            ok = false;
        } else {
            d->fed = true;
            d->stream = st->index;
            d->streamStartUs = ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0;
            ok = d->openDecoder(st->codecpar, st->time_base, err)
                 && (d->mode == Impl::Mode::Bitmap || d->setupText(ic, set, err));
        }
    } else if (set.closedCaptions) {
        d->fed = true;
        AVCodecParameters *par = avcodec_parameters_alloc();
        if (!par) {
            err = "out of memory";
            ok = false;
        } else {
            par->codec_type = AVMEDIA_TYPE_SUBTITLE;
            par->codec_id = AV_CODEC_ID_EIA_608;
            ok = d->openDecoder(par, AVRational{1, AV_TIME_BASE}, err);
            avcodec_parameters_free(&par);
        }
        if (ok) {
            // Show each caption as it is decoded: by default the decoder only
            // hands out a caption once it leaves the screen.
            av_opt_set_int(d->dec->priv_data, "real_time", 1, 0);
            av_opt_set_int(d->dec->priv_data, "real_time_latency_msec", 0, 0);
            ok = d->setupText(nullptr, set, err);
        }
    } else if (!set.subtitleFile.empty()) {
        ok = d->readFile(set, err);
    } else {
        return true;   // nothing chosen: nothing to draw
    }
    if (!ok) {
        d.reset(new Impl);
        return false;
    }
    return true;
}

bool SubtitleBurner::active() const { return d->mode != Impl::Mode::None; }

int SubtitleBurner::streamIndex() const { return d->stream; }

void SubtitleBurner::feedPacket(const AVPacket *pkt)
{
    if (!pkt || d->stream < 0 || pkt->stream_index != d->stream || !d->dec)
        return;
    d->decode(pkt, d->streamStartUs);
}

void SubtitleBurner::feedCaptions(const AVFrame *frame, int64_t ptsUs)
{
    if (!frame || !d->dec || d->dec->codec_id != AV_CODEC_ID_EIA_608)
        return;
    const AVFrameSideData *sd = av_frame_get_side_data(frame, AV_FRAME_DATA_A53_CC);
    if (!sd || !sd->size)
        return;
    PacketPtr pkt = makePacket();
    if (!pkt || av_new_packet(pkt.get(), int(sd->size)) < 0)
        return;
    std::memcpy(pkt->data, sd->data, sd->size);
    pkt->pts = pkt->dts = ptsUs;
    d->decode(pkt.get(), 0, true);
}

AVFrame *SubtitleBurner::Impl::freshCanvas()
{
    const int i = current ^ 1;
    FramePtr &f = canvas[i];
    if (f && !av_frame_is_writable(f.get()))
        f.reset();   // the caller still holds it: paint elsewhere
    if (!f) {
        f = makeFrame();
        if (!f)
            return nullptr;
        f->format = AV_PIX_FMT_RGBA;
        f->width = frameW;
        f->height = frameH;
        if (av_frame_get_buffer(f.get(), 0) < 0) {
            f.reset();
            return nullptr;
        }
        for (int y = 0; y < frameH; ++y)
            std::memset(f->data[0] + size_t(y) * f->linesize[0], 0, size_t(frameW) * 4);
    } else if (!dirty[i].empty()) {
        const PixelBox &b = dirty[i];
        for (int y = b.y0; y < b.y1; ++y)
            std::memset(f->data[0] + size_t(y) * f->linesize[0] + size_t(b.x0) * 4, 0, size_t(b.x1 - b.x0) * 4);
    }
    dirty[i] = PixelBox();
    current = i;
    return f.get();
}

const AVFrame *SubtitleBurner::Impl::textCanvas(int64_t tUs)
{
    int change = 0;
    const long long nowMs = tUs >= 0 ? tUs / 1000 : -((-tUs + 999) / 1000);
    ASS_Image *images = ass_render_frame(ass.renderer.get(), track.get(), nowMs, &change);
    if (!images) {
        last = nullptr;
        return nullptr;
    }
    if (!change && last)
        return last;
    AVFrame *f = freshCanvas();
    if (!f) {
        last = nullptr;
        return nullptr;
    }
    dirty[current] = blendAssImages(images, f->data[0], f->linesize[0], frameW, frameH, 0, 0, opacity);
    last = dirty[current].empty() ? nullptr : f;
    return last;
}

const AVFrame *SubtitleBurner::Impl::bitmapCanvas(int64_t tUs)
{
    auto at = std::upper_bound(bitmaps.begin(), bitmaps.end(), tUs,
                               [](int64_t t, const BitmapEvent &b) { return t < b.startUs; });
    const BitmapEvent *ev = nullptr;
    if (at != bitmaps.begin() && tUs < (at - 1)->endUs)
        ev = &*(at - 1);
    if (!ev) {
        shownId = 0;
        last = nullptr;
        return nullptr;
    }
    if (ev->id == shownId && last)
        return last;
    AVFrame *f = freshCanvas();
    if (!f) {
        last = nullptr;
        return nullptr;
    }
    // Nearest-neighbour scaling from the subtitle's canvas to the frame.
    PixelBox touched;
    std::vector<uint8_t> line;
    for (const PaletteRect &r : ev->rects) {
        const int ox0 = std::max(0, int(int64_t(r.x) * frameW / ev->canvasW));
        const int oy0 = std::max(0, int(int64_t(r.y) * frameH / ev->canvasH));
        const int ox1 = std::min(frameW, int((int64_t(r.x + r.w) * frameW + ev->canvasW - 1) / ev->canvasW));
        const int oy1 = std::min(frameH, int((int64_t(r.y + r.h) * frameH + ev->canvasH - 1) / ev->canvasH));
        if (ox1 <= ox0 || oy1 <= oy0)
            continue;
        line.resize(size_t(r.w));
        int unpacked = -1;
        for (int oy = oy0; oy < oy1; ++oy) {
            const int sy = int((int64_t(oy) * 2 + 1) * ev->canvasH / (2 * int64_t(frameH))) - r.y;
            if (sy < 0 || sy >= r.h)
                continue;
            if (sy != unpacked) {
                r.unpackRow(sy, line.data());
                unpacked = sy;
            }
            uint8_t *dst = f->data[0] + size_t(oy) * f->linesize[0] + size_t(ox0) * 4;
            for (int ox = ox0; ox < ox1; ++ox, dst += 4) {
                const int sx = int((int64_t(ox) * 2 + 1) * ev->canvasW / (2 * int64_t(frameW))) - r.x;
                if (sx < 0 || sx >= r.w)
                    continue;
                const uint32_t c = r.palette[line[size_t(sx)]];
                blendOver(dst, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, c >> 24);
            }
        }
        touched.add(PixelBox{ox0, oy0, ox1, oy1});
    }
    scaleAlpha(f->data[0], f->linesize[0], touched, opacity);
    dirty[current] = touched;
    shownId = ev->id;
    last = touched.empty() ? nullptr : f;
    return last;
}

const AVFrame *SubtitleBurner::canvasAt(int64_t tUs)
{
    if (d->mode == Impl::Mode::None || d->opacity == 0)
        return nullptr;
    const int64_t t = tUs - d->offsetUs;
    return d->mode == Impl::Mode::Text ? d->textCanvas(t) : d->bitmapCanvas(t);
}

} // namespace zx
