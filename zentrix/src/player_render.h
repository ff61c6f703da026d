// Pictures of the preview player: the untouched source frame and the frame
// with the edits of a parameter set, built by the converter's own geometry
// and zx::EditStage, so the preview shows what the conversion writes.
#pragma once

#include "ffutil.h"
#include "filter_stages.h"
#include "geometry.h"
#include "media_input.h"
#include "zentrix.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct SwsContext;

namespace zx {

// A picture converted for a frame callback (format 30 or 0); the planes stay
// valid until the next conversion by the same object.
class CallbackPicture {
public:
    CallbackPicture() = default;
    ~CallbackPicture();
    CallbackPicture(const CallbackPicture &) = delete;
    CallbackPicture &operator=(const CallbackPicture &) = delete;
    bool convert(const AVFrame *in, int format, ZxFrame &out);
    // A 24-bit BMP file of the picture.
    std::vector<unsigned char> bmp(const AVFrame *in);

private:
    SwsContext *scaler(const AVFrame *in, int w, int h, AVPixelFormat to);
    SwsContext *m_sws = nullptr;
    FramePtr m_out;
};

// The decoded picture turned upright by the source's rotation metadata (and
// an HDR one tone-mapped as the output picture is), for the untouched
// callback (the edited picture turns it in its own graph).
class UprightPicture {
public:
    // The frame to show: decoded itself when nothing needs doing.
    const AVFrame *turn(const AVFrame *decoded, int autoRotation);

private:
    GraphPtr m_graph;
    AVFilterContext *m_src = nullptr, *m_sink = nullptr;
    std::string m_key;
    FramePtr m_out;
};

class EditedPicture {
public:
    // media: the open source, read under icLock (the read thread holds it
    // while it reads) when the subtitle choice is opened; picture: its facts.
    EditedPicture(const InputMedia &media, const SourcePicture &picture, std::mutex &icLock)
        : m_media(media), m_picture(picture), m_icLock(icLock)
    {
    }
    ~EditedPicture();

    // Takes a new parameter set and the requested frame size (0 = the
    // picture's own); the next render uses them.
    void setParams(const ZxParams &set, int frameW, int frameH);
    // Runs one decoded frame at sourceUs (from the source start) through the
    // edits; the result stays in frame() until the next render.
    bool render(const AVFrame *decoded, int64_t sourceUs, std::string &err);
    const AVFrame *frame() const { return m_result.get(); }
    int outputWidth() const { return m_geometry.frameW; }
    int outputHeight() const { return m_geometry.frameH; }
    // Subtitle input, from the player's video thread only.
    int subtitleStream() const { return m_stage.subtitleStream(); }
    void feedPacket(const AVPacket *pkt) { m_stage.feedPacket(pkt); }

private:
    bool rebuild(const AVFrame *decoded, std::string &err);

    const InputMedia &m_media;
    const SourcePicture m_picture;
    std::mutex &m_icLock;
    EditStage m_stage;
    ZxParams m_set;
    int m_wantW = 0, m_wantH = 0;
    bool m_setChanged = true;
    std::string m_drawKey;            // the drawings the stage is open for
    Geometry m_geometry;
    std::string m_graphKey;           // what the graph was built for
    GraphPtr m_graph;
    AVFilterContext *m_src = nullptr, *m_sink = nullptr;
    int64_t m_graphPts = 0;           // rising pts fed to the graph, whatever the source time
    bool m_deinterlaced = false;      // the graph starts with a deinterlacer
    FramePtr m_result;
};

} // namespace zx
