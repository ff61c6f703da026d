// zxtool preview / play: the engine's preview player through its public C API.
#include "options.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace zxtool {
namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Waits until the player has shown the picture of its last seek or step;
// false after the limit (latencies are measured through this, so it polls
// every millisecond).
bool waitShown(ZxPlayer *p, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (PlayerIsBusy(p)) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Opens SRC (a file, or title --dvd-title of a DVD) with the output size of
// --size and hands it the edits of the options.
zxh::PlayerPtr openPlayer(const Options &o, const std::string &source)
{
    zxh::PlayerPtr player(PlayerCreate(-1));
    ZxPlayer *p = player.get();
    const int ok = o.dvdTitle >= 0 ? PlayerOpenDvd(p, source.c_str(), o.dvdTitle, 0, o.width, o.height, 50000)
                                   : PlayerOpenFile(p, source.c_str(), o.width, o.height, 50000);
    if (!ok) {
        std::fprintf(stderr, "zxtool: cannot play %s: %s\n", source.c_str(), PlayerLastError(p));
        return nullptr;
    }
    const zxh::ParamsPtr params = makeParams(o);
    PlayerSetParams(p, params.get());
    return player;
}

struct Counter {
    std::atomic<long long> frames{0};
};

void countFrame(void *ctx, const ZxFrame *) { ++static_cast<Counter *>(ctx)->frames; }

} // namespace

int preview(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, 2, o) || o.positional.size() != 3)
        return 2;
    char *end = nullptr;
    const long long timeUs = std::strtoll(o.positional[1].c_str(), &end, 10);
    if (o.positional[1].empty() || *end || timeUs < 0) {
        std::fprintf(stderr, "zxtool: TIME_US wants microseconds, not \"%s\"\n", o.positional[1].c_str());
        return 2;
    }
    zxh::PlayerPtr player = openPlayer(o, o.positional[0]);
    if (!player)
        return 1;
    ZxPlayer *p = player.get();
    if (!PlayerHasVideo(p)) {
        std::fprintf(stderr, "zxtool: %s has no picture\n", o.positional[0].c_str());
        return 1;
    }
    PlayerStart(p);
    PlayerSeek(p, timeUs);
    if (!waitShown(p, std::chrono::seconds(20))) {
        std::fprintf(stderr, "zxtool: no picture at %lld us\n", timeUs);
        return 1;
    }
    int size = 0;
    const unsigned char *bmp = PlayerGrabFrame(p, &size);
    if (!bmp) {
        std::fprintf(stderr, "zxtool: no picture could be grabbed: %s\n", PlayerLastError(p));
        return 1;
    }
    int rc = 1;
    if (FILE *f = std::fopen(o.positional[2].c_str(), "wb")) {
        rc = std::fwrite(bmp, 1, size_t(size), f) == size_t(size) ? 0 : 1;
        rc = std::fclose(f) == 0 ? rc : 1;
    }
    if (rc)
        std::fprintf(stderr, "zxtool: cannot write %s\n", o.positional[2].c_str());
    PlayerReleaseFrame(p, bmp);
    return rc;
}

int play(int argc, char **argv)
{
    // --seconds is this command's own; the rest are the convert options.
    double seconds = 10;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            char *end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (*end || seconds <= 0 || seconds > 86400) {
                std::fprintf(stderr, "zxtool: --seconds wants a positive number, not \"%s\"\n", argv[i]);
                return 2;
            }
            continue;
        }
        args.push_back(argv[i]);
    }
    Options o;
    if (!parse(int(args.size()), args.data(), 2, o) || o.positional.size() != 1)
        return 2;
    zxh::PlayerPtr player = openPlayer(o, o.positional[0]);
    if (!player)
        return 1;
    ZxPlayer *p = player.get();
    Counter delivered;
    // Frames go out edited, in the format the program's panes take.
    PlayerSetFrameCallback(p, ZX_FRAME_OUTPUT, ZX_PIXEL_RGB32, &countFrame, &delivered);
    PlayerSetVolume(p, 100);
    const auto t0 = Clock::now();
    if (!PlayerPlay(p)) {
        std::fprintf(stderr, "zxtool: cannot start playing: %s\n", PlayerLastError(p));
        return 1;
    }
    while (msSince(t0) < seconds * 1000 && !PlayerIsEnd(p))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double playedMs = msSince(t0);
    int64_t shown = 0, dropped = 0, maxOffsetUs = 0;
    PlayerStats(p, &shown, &dropped, &maxOffsetUs);
    const long long frames = delivered.frames.load();

    // A seek to the middle while playing, then one picture back while paused.
    auto t1 = Clock::now();
    PlayerSeek(p, PlayerDuration(p) / 2);
    const bool seekDone = waitShown(p, std::chrono::seconds(10));
    const double seekMs = msSince(t1);
    double stepMs = -1;
    if (PlayerHasVideo(p)) {
        PlayerPause(p);
        t1 = Clock::now();
        PlayerStepBackward(p);
        stepMs = waitShown(p, std::chrono::seconds(10)) ? msSince(t1) : -1;
    }
    int num = 0, den = 0;
    PlayerFrameRate(p, &num, &den);
    std::printf("{\"frames_delivered\": %lld, \"frames_dropped\": %lld, \"frame_rate\": %.3f, "
                "\"played_s\": %.2f, \"max_av_offset_ms\": %.1f, \"seek_ms\": %.1f, \"step_back_ms\": %.1f}\n",
                frames, static_cast<long long>(dropped), den ? double(num) / den : 0.0, playedMs / 1000,
                maxOffsetUs / 1000.0, seekDone ? seekMs : -1.0, stepMs);
    (void)shown;
    // Playback that broke off still prints its figures, and says why.
    if (const char *why = PlayerLastError(p); *why) {
        std::fprintf(stderr, "zxtool: %s\n", why);
        return 1;
    }
    return 0;
}

} // namespace zxtool
