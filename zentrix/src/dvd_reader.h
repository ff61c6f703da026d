// DVD-Video input. libdvdread reads the disc structure (a VIDEO_TS folder,
// the folder above it, an image file or a drive alike); the cells of a
// title's program chain are joined into one byte stream that libavformat's
// MPEG program stream demuxer reads through custom I/O.
#pragma once

#include "media_input.h"

#include <cstdint>
#include <string>
#include <vector>

struct dvd_file_s;

namespace zx {

// What the IFO files say about one title.
struct DvdTitleInfo {
    struct Range {
        uint32_t first = 0, last = 0;   // sectors of the title set's VOBs, inclusive
        uint32_t lastVobu = 0;          // where the cell's last VOBU starts
    };
    struct Track {
        int physical = 0;               // stream number inside the VOBs
        std::string language;           // ISO 639-1, "" when not given
    };
    int titleSet = 0;
    std::vector<Range> cells;           // angle 1, in playback order
    int64_t durationUs = 0;
    AVRational displayAspect{4, 3};
    std::vector<Track> audio;           // in the title's stream order
    std::vector<Track> subtitles;
};

struct DvdDisc;

// The titles of a DVD-Video structure, or a reason why path is not one.
class DvdStructure {
public:
    DvdStructure();
    ~DvdStructure();
    DvdStructure(const DvdStructure &) = delete;
    DvdStructure &operator=(const DvdStructure &) = delete;

    bool open(const std::string &path, std::string &error);
    int titleCount() const;
    bool title(int index, DvdTitleInfo &info, std::string &error) const;
    DvdDisc *disc() const { return m_disc; }

private:
    DvdDisc *m_disc = nullptr;
};

// Reads one title (0-based, in the order of the title table).
class DvdReader : public MediaReader {
public:
    DvdReader(std::string path, int title) : m_path(std::move(path)), m_title(title) {}
    ~DvdReader() override;

    int open(InputPtr &out, const AVIOInterruptCB &interrupt) override;
    std::string brand(const AVFormatContext *) const override { return "DVD"; }
    int64_t durationUs() const override { return m_info.durationUs; }
    AVRational displayAspect() const override { return m_info.displayAspect; }
    bool arrange(AVFormatContext *ic, std::vector<int> &audio, std::vector<int> &subtitles) override;
    std::string failure() const override { return m_failure; }

private:
    static int readPacket(void *opaque, uint8_t *buf, int size);
    static int64_t seek(void *opaque, int64_t offset, int whence);
    int read(uint8_t *buf, int size);
    bool fillCache(int64_t block);
    bool vobuTimes(uint32_t sector, uint32_t &start, uint32_t &end);
    int64_t totalBlocks() const { return m_total; }

    std::string m_path;
    int m_title;
    DvdStructure m_structure;
    DvdTitleInfo m_info;
    ::dvd_file_s *m_file = nullptr;
    AVIOContext *m_avio = nullptr;
    std::vector<int64_t> m_cellStart;   // first stream block of each cell
    std::vector<int64_t> m_cellShift;   // 90 kHz added to each cell's time stamps
    int64_t m_total = 0;                // blocks in the stream
    int64_t m_pos = 0;                  // byte position in the stream
    std::vector<uint8_t> m_cache;
    int64_t m_cacheBlock = -1;          // stream block of m_cache[0]
    int m_cacheBlocks = 0;
    std::string m_failure;
};

// True when a 2048-byte pack carries a PES packet whose payload is
// scrambled (CSS): such sectors cannot be decoded without the disc key.
bool dvdSectorScrambled(const uint8_t *sector);

// Adds shift (90 kHz ticks, modulo 2^33) to the PTS and DTS of every PES
// packet of an MPEG-2 pack.
void dvdShiftSectorTimes(uint8_t *sector, int64_t shift);

extern const char *const kDvdEncryptedMessage;

} // namespace zx
