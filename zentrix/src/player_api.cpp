// The Player* functions of zentrix.h over zx::Player.
#include "dvd_reader.h"
#include "player.h"

#include <cstring>

struct ZxPlayer {
    zx::Player player;
    std::string error;                 // the string PlayerLastError returned last
    std::vector<int16_t> audioBlock;   // the block PlayerAudioBlock returned last
};

namespace {
bool ready(ZxPlayer *p) { return p && p->player.isOpen(); }
}

extern "C" {

ZxPlayer *PlayerCreate(int) { return new ZxPlayer(); }

void PlayerRelease(ZxPlayer *p) { delete p; }

int PlayerOpenFile(ZxPlayer *p, const char *path, int width, int height, int openParam)
{
    if (!p || !path)
        return 0;
    return p->player.open(std::make_unique<zx::FileReader>(path), width, height, openParam) ? 1 : 0;
}

int PlayerOpenDvd(ZxPlayer *p, const char *path, int title, int /*program*/, int width, int height, int openParam)
{
    if (!p || !path || title < 0)
        return 0;
    return p->player.open(std::make_unique<zx::DvdReader>(path, title), width, height, openParam) ? 1 : 0;
}

const char *PlayerLastError(ZxPlayer *p)
{
    if (!p)
        return "";
    p->error = p->player.lastError();
    return p->error.c_str();
}

void PlayerClose(ZxPlayer *p)
{
    if (p)
        p->player.close();
}

int PlayerSetFrameCallback(ZxPlayer *p, int kind, int format, ZxFrameCallback callback, void *context)
{
    return p && p->player.setFrameCallback(kind, format, callback, context) ? 1 : 0;
}

int PlayerSetEndCallback(ZxPlayer *p, ZxEndCallback callback, void *context)
{
    if (!p)
        return 0;
    p->player.setEndCallback(callback, context);
    return 1;
}

int PlayerIsReady(ZxPlayer *p) { return ready(p) && p->player.isReady() ? 1 : 0; }
int PlayerStart(ZxPlayer *p) { return p && p->player.start() ? 1 : 0; }
int PlayerPlay(ZxPlayer *p) { return p && p->player.play() ? 1 : 0; }
int PlayerPause(ZxPlayer *p) { return p && p->player.pause() ? 1 : 0; }
int PlayerStop(ZxPlayer *p) { return p && p->player.stop() ? 1 : 0; }
int PlayerIsPlaying(ZxPlayer *p) { return ready(p) && p->player.isPlaying() ? 1 : 0; }
int PlayerSeek(ZxPlayer *p, int64_t timeUs) { return p && p->player.seek(timeUs) ? 1 : 0; }
int PlayerStepForward(ZxPlayer *p) { return p && p->player.step(true) ? 1 : 0; }
int PlayerStepBackward(ZxPlayer *p) { return p && p->player.step(false) ? 1 : 0; }
int PlayerIsBusy(ZxPlayer *p) { return ready(p) && p->player.isBusy() ? 1 : 0; }
int64_t PlayerPosition(ZxPlayer *p) { return ready(p) ? p->player.position() : 0; }
int64_t PlayerDuration(ZxPlayer *p) { return ready(p) ? p->player.duration() : 0; }
int PlayerIsEnd(ZxPlayer *p) { return ready(p) && p->player.isEnd() ? 1 : 0; }
int PlayerRedraw(ZxPlayer *p) { return p && p->player.redraw() ? 1 : 0; }

int PlayerSetVolume(ZxPlayer *p, int percent)
{
    if (!p || percent < 0 || percent > 100)
        return 0;
    p->player.setVolume(percent);
    return 1;
}

int PlayerAudioBlock(ZxPlayer *p, const int16_t **samples, int *bytes)
{
    if (samples)
        *samples = nullptr;
    if (bytes)
        *bytes = 0;
    if (!ready(p) || !p->player.audioBlock(p->audioBlock))
        return 0;
    if (samples)
        *samples = p->audioBlock.data();
    if (bytes)
        *bytes = int(p->audioBlock.size() * sizeof(int16_t));
    return 1;
}

void PlayerReleaseAudioBlock(ZxPlayer *p)
{
    if (p)
        std::vector<int16_t>().swap(p->audioBlock);
}

int PlayerSetParams(ZxPlayer *p, const ZxParams *set) { return ready(p) && set && p->player.setParams(*set) ? 1 : 0; }

int PlayerHasVideo(ZxPlayer *p) { return ready(p) && p->player.hasVideo() ? 1 : 0; }
int PlayerHasAudio(ZxPlayer *p) { return ready(p) && p->player.hasAudio() ? 1 : 0; }
int PlayerSourceWidth(ZxPlayer *p) { return ready(p) ? p->player.sourceWidth() : 0; }
int PlayerSourceHeight(ZxPlayer *p) { return ready(p) ? p->player.sourceHeight() : 0; }

int PlayerDisplayAspect(ZxPlayer *p, int *num, int *den)
{
    int n = 0, d = 0;
    const bool known = ready(p) && p->player.displayAspect(n, d);
    if (num)
        *num = known ? n : 0;
    if (den)
        *den = known ? d : 0;
    return known ? 1 : 0;
}

int PlayerFrameRate(ZxPlayer *p, int *num, int *den)
{
    int n = 0, d = 0;
    const bool known = ready(p) && p->player.frameRate(n, d);
    if (num)
        *num = known ? n : 0;
    if (den)
        *den = known ? d : 0;
    return known ? 1 : 0;
}

int PlayerOutputWidth(ZxPlayer *p)
{
    int w = 0, h = 0;
    if (ready(p))
        p->player.outputSize(w, h);
    return w;
}

int PlayerOutputHeight(ZxPlayer *p)
{
    int w = 0, h = 0;
    if (ready(p))
        p->player.outputSize(w, h);
    return h;
}

static int watermarkBox(ZxPlayer *p, bool text, double *x, double *y, double *w, double *h)
{
    for (double *v : {x, y, w, h})
        if (v)
            *v = 0;
    if (!ready(p))
        return 0;
    int fw = 0, fh = 0;
    p->player.outputSize(fw, fh);
    const ZxParams set = p->player.params();
    double bw = 0, bh = 0;
    const int ok = text ? ParamsWatermarkTextBox(&set, fw, fh, &bw, &bh) : ParamsWatermarkImageBox(&set, fw, fh, &bw, &bh);
    if (!ok || bw <= 0 || bh <= 0)
        return ok;
    if (x)
        *x = text ? set.watermarkTextX : set.watermarkImageX;
    if (y)
        *y = text ? set.watermarkTextY : set.watermarkImageY;
    if (w)
        *w = bw;
    if (h)
        *h = bh;
    return 1;
}

int PlayerWatermarkTextBox(ZxPlayer *p, double *x, double *y, double *w, double *h)
{
    return watermarkBox(p, true, x, y, w, h);
}

int PlayerWatermarkImageBox(ZxPlayer *p, double *x, double *y, double *w, double *h)
{
    return watermarkBox(p, false, x, y, w, h);
}

int PlayerSelectWatermark(ZxPlayer *p, int which)
{
    if (!p || which < -1 || which > 1)
        return 0;
    p->player.selectedWatermark = which;
    return 1;
}

int PlayerSelectedWatermark(ZxPlayer *p) { return p ? p->player.selectedWatermark.load() : -1; }

const unsigned char *PlayerGrabFrame(ZxPlayer *p, int *bytes)
{
    if (bytes)
        *bytes = 0;
    if (!ready(p))
        return nullptr;
    const std::vector<unsigned char> bmp = p->player.grab();
    if (bmp.empty())
        return nullptr;
    unsigned char *copy = new unsigned char[bmp.size()];
    std::memcpy(copy, bmp.data(), bmp.size());
    if (bytes)
        *bytes = int(bmp.size());
    return copy;
}

void PlayerReleaseFrame(ZxPlayer *, const unsigned char *bmp) { delete[] bmp; }

int PlayerStats(ZxPlayer *p, int64_t *shown, int64_t *dropped, int64_t *maxOffsetUs)
{
    int64_t s = 0, d = 0, o = 0;
    if (p)
        p->player.stats(s, d, o);
    if (shown)
        *shown = s;
    if (dropped)
        *dropped = d;
    if (maxOffsetUs)
        *maxOffsetUs = o;
    return p ? 1 : 0;
}

} // extern "C"
