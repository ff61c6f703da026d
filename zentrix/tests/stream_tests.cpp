// Elementary streams: packets encoded elsewhere, muxed without re-encoding.
#include "test_support.h"

extern "C" {
#include <libavformat/avformat.h>
}

using namespace zxtest;

namespace {

// Legacy numbers of the codecs in the fixture.
int legacyOf(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_H264: return 28;
    case AV_CODEC_ID_AAC: return 86018;
    case AV_CODEC_ID_SUBRIP: return 1397909872;
    default: return 0;
    }
}

int countPackets(const std::string &path, const char *type)
{
    const std::string out = run(std::string("ffprobe -v error -select_streams ") + type
                                + " -show_entries packet=pts -of csv=p=0 " + shellQuote(path) + " | wc -l");
    return std::atoi(out.c_str());
}

TEST(Streams, PacketsOfThreeTracksAreMuxedUnchanged)
{
    const std::string src = media("clip_mkv_two_audio_sub.mkv");
    AVFormatContext *ic = nullptr;
    ASSERT_EQ(avformat_open_input(&ic, src.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(ic, nullptr), 0);
    const int vs = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int as = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const int ss = av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, -1, -1, nullptr, 0);
    ASSERT_TRUE(vs >= 0 && as >= 0 && ss >= 0);

    TrackPtr video(TrackCreate(ZX_TRACK_VIDEO)), audio(TrackCreate(ZX_TRACK_AUDIO)), subs(TrackCreate(ZX_TRACK_SUBTITLE));
    const AVCodecParameters *vp = ic->streams[vs]->codecpar, *ap = ic->streams[as]->codecpar;
    ASSERT_EQ(TrackSetCodec(video.get(), legacyOf(vp->codec_id)), 1);
    ASSERT_EQ(TrackSetVideoSize(video.get(), vp->width, vp->height), 1);
    ASSERT_EQ(TrackSetFrameRate(video.get(), 25, 1), 1);
    ASSERT_EQ(TrackSetAspect(video.get(), 1, 1), 1);
    ASSERT_EQ(TrackSetCodecData(video.get(), vp->extradata, vp->extradata_size), 1);
    ASSERT_EQ(TrackSetCodec(audio.get(), legacyOf(ap->codec_id)), 1);
    ASSERT_EQ(TrackSetSampleRate(audio.get(), ap->sample_rate), 1);
    ASSERT_EQ(TrackSetChannels(audio.get(), ap->ch_layout.nb_channels), 1);
    ASSERT_EQ(TrackSetCodecData(audio.get(), ap->extradata, ap->extradata_size), 1);
    ASSERT_EQ(TrackSetLanguage(audio.get(), "eng"), 1);
    ASSERT_EQ(TrackSetCodec(subs.get(), legacyOf(ic->streams[ss]->codecpar->codec_id)), 1);
    EXPECT_EQ(TrackSetSampleRate(video.get(), 48000), 0) << "a video track has no sample rate";

    const std::string out = outPath("streams.mkv");
    JobPtr job(JobCreate(-1));
    ASSERT_EQ(JobOpenStreams(job.get(), out.c_str(), "matroska", video.get(), audio.get(), subs.get()), 1)
        << JobLastError(job.get(), nullptr);
    PacketPtr packetOwner(PacketCreate());
    ZxPacket *packet = packetOwner.get();
    AVPacket *pkt = av_packet_alloc();
    EXPECT_EQ(TrackWrite(video.get(), packet), 0) << "nothing is written before the start";
    ASSERT_EQ(JobStart(job.get()), 1);
    const int index[3] = {vs, as, ss};
    ZxTrack *tracks[3] = {video.get(), audio.get(), subs.get()};
    while (av_read_frame(ic, pkt) >= 0) {
        for (int i = 0; i < 3; ++i) {
            if (pkt->stream_index != index[i])
                continue;
            const AVRational tb = ic->streams[index[i]]->time_base, us{1, 1000000};
            PacketSetData(packet, pkt->data, pkt->size);
            PacketSetTimes(packet, av_rescale_q(pkt->pts, tb, us),
                           pkt->dts == AV_NOPTS_VALUE ? INT64_MIN : av_rescale_q(pkt->dts, tb, us),
                           av_rescale_q(pkt->duration, tb, us));
            PacketSetKeyFrame(packet, (pkt->flags & AV_PKT_FLAG_KEY) != 0);
            EXPECT_EQ(TrackWrite(tracks[i], packet), 1);
        }
        av_packet_unref(pkt);
    }
    PacketSetData(packet, nullptr, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(JobIsFinished(job.get()), 0) << "finished before every track ended";
        EXPECT_EQ(TrackWrite(tracks[i], packet), 1);
    }
    EXPECT_EQ(JobStatus(job.get()), ZX_STATUS_FINISHED);
    EXPECT_GT(JobPosition(job.get()), 3500000u);
    EXPECT_EQ(TrackWrite(video.get(), packet), 0) << "an ended track takes nothing";
    JobClose(job.get());
    av_packet_free(&pkt);
    avformat_close_input(&ic);

    const Probe p = ffprobe(out);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(strOf(p.first("video"), "codec_name"), "h264");
    EXPECT_EQ(intOf(p.first("video"), "width"), 320);
    EXPECT_EQ(strOf(p.first("audio"), "codec_name"), "aac");
    EXPECT_EQ(strOf(p.first("audio"), "tag:language"), "eng");
    EXPECT_EQ(strOf(p.first("subtitle"), "codec_name"), "subrip");
    EXPECT_NEAR(p.duration(), ffprobe(src).duration(), 0.1);
    for (const char *type : {"v", "a:0", "s"})
        EXPECT_EQ(countPackets(out, type), countPackets(src, type)) << type;
    EXPECT_TRUE(decodesCleanly(out));
}

TEST(Streams, WrongTracksAndStopsAreHandled)
{
    TrackPtr video(TrackCreate(ZX_TRACK_VIDEO)), audio(TrackCreate(ZX_TRACK_AUDIO));
    TrackSetCodec(video.get(), 28);
    TrackSetVideoSize(video.get(), 320, 240);
    TrackSetCodec(audio.get(), 65536); // PCM needs no codec data
    TrackSetSampleRate(audio.get(), 44100);
    TrackSetChannels(audio.get(), 2);
    {
        JobPtr job(JobCreate(-1));
        EXPECT_EQ(JobOpenStreams(job.get(), outPath("x.mkv").c_str(), "matroska", audio.get(), nullptr, nullptr), 0)
            << "an audio track in the video place";
        EXPECT_EQ(JobOpenStreams(job.get(), outPath("x.mkv").c_str(), "matroska", nullptr, nullptr, nullptr), 0);
    }
    // A stop ends the file with what it has; later writes are refused.
    const std::string out = outPath("stopped_streams.mkv");
    JobPtr job(JobCreate(-1));
    ASSERT_EQ(JobOpenStreams(job.get(), out.c_str(), "matroska", nullptr, audio.get(), nullptr), 1);
    ASSERT_EQ(JobStart(job.get()), 1);
    PacketPtr packetOwner(PacketCreate());
    ZxPacket *packet = packetOwner.get();
    const unsigned char silence[4 * 441] = {0};
    PacketSetData(packet, silence, sizeof silence);
    PacketSetTimes(packet, 0, INT64_MIN, 10000);
    PacketSetKeyFrame(packet, 1);
    EXPECT_EQ(TrackWrite(audio.get(), packet), 1);
    ASSERT_EQ(JobRequestStop(job.get()), 1);
    EXPECT_EQ(JobIsStopped(job.get()), 1);
    EXPECT_EQ(TrackWrite(audio.get(), packet), 0);
    job.reset(); // tracks outlive their job safely
    EXPECT_EQ(TrackWrite(audio.get(), packet), 0);
    EXPECT_TRUE(ffprobe(out).ok);
}

} // namespace
