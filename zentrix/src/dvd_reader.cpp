#include "dvd_reader.h"

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace zx {

const char *const kDvdEncryptedMessage =
    "This disc is encrypted (CSS) and cannot be read without a decryption library.";

struct DvdDisc {
    dvd_reader_t *dvd = nullptr;
    ifo_handle_t *vmg = nullptr;
};

namespace {

constexpr int kBlock = DVD_VIDEO_LB_LEN;
constexpr int kCacheBlocks = 32;

// libdvdread reports to stderr by default; its complaints about what is
// not a DVD are expected here, so they go to FFmpeg's debug log.
void dvdLog(void *, dvd_logger_level_t, const char *fmt, va_list args)
{
    av_vlog(nullptr, AV_LOG_DEBUG, fmt, args);
}
const dvd_logger_cb kLogger = {dvdLog};

struct IfoCloser {
    void operator()(ifo_handle_t *h) const { ifoClose(h); }
};
using IfoPtr = std::unique_ptr<ifo_handle_t, IfoCloser>;

bool isDirectory(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// libdvdread wants the folder that holds VIDEO_TS; people also pick VIDEO_TS itself.
std::string discRoot(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    std::transform(last.begin(), last.end(), last.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    if (last == "VIDEO_TS" && isDirectory(path))
        path = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return path;
}

int64_t bcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0f); }

int64_t playbackUs(const dvd_time_t &t)
{
    const int64_t seconds = bcd(t.hour) * 3600 + bcd(t.minute) * 60 + bcd(t.second);
    const int rateBits = t.frame_u >> 6;
    const int64_t frames = bcd(t.frame_u & 0x3f);
    int64_t us = seconds * 1000000;
    if (rateBits == 1)
        us += frames * 1000000 / 25;
    else if (rateBits == 3)
        us += frames * 1001000 / 30000;
    return us;
}

std::string langCode(uint16_t code)
{
    const char a = char(code >> 8), b = char(code & 0xff);
    if (!std::isalpha(static_cast<unsigned char>(a)) || !std::isalpha(static_cast<unsigned char>(b)))
        return {};
    std::string s{a, b};
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// The demuxer names DVD streams by their PES id: AC-3 0x80-0x87, DTS
// 0x88-0x8f, LPCM 0xa0-0xa7, MPEG audio 0x1c0-0x1c7, subpictures 0x20-0x3f.
int physicalAudio(const AVStream *st)
{
    const int id = st->id;
    if ((id >= 0x80 && id <= 0x8f) || (id >= 0xa0 && id <= 0xa7))
        return id & 7;
    if (id >= 0x1c0 && id <= 0x1c7)
        return id & 7;
    return -1;
}

int physicalSubtitle(const AVStream *st) { return st->id >= 0x20 && st->id <= 0x3f ? st->id - 0x20 : -1; }

void reorder(AVFormatContext *ic, std::vector<int> &streams, const std::vector<DvdTitleInfo::Track> &tracks,
             int (*physical)(const AVStream *))
{
    std::vector<int> ordered;
    for (const auto &t : tracks)
        for (int idx : streams)
            if (physical(ic->streams[idx]) == t.physical) {
                if (std::find(ordered.begin(), ordered.end(), idx) == ordered.end()) {
                    ordered.push_back(idx);
                    if (!t.language.empty())
                        av_dict_set(&ic->streams[idx]->metadata, "language", t.language.c_str(), 0);
                }
                break;
            }
    // Streams in the VOBs the title does not list stay reachable, last.
    for (int idx : streams)
        if (std::find(ordered.begin(), ordered.end(), idx) == ordered.end())
            ordered.push_back(idx);
    streams.swap(ordered);
}

} // namespace

namespace {

// Calls fn(offset) for every audio, video or private-1 PES packet of a pack
// that has an MPEG-2 PES header; stops early when fn returns true.
template <typename Fn>
bool forEachMediaPes(const uint8_t *s, Fn fn)
{
    if (s[0] != 0 || s[1] != 0 || s[2] != 1 || s[3] != 0xba)
        return false;
    // MPEG-2 pack header: 14 bytes plus stuffing.
    size_t off = (s[4] & 0xc0) == 0x40 ? 14 + (s[13] & 7) : 12;
    while (off + 9 <= size_t(kBlock)) {
        if (s[off] != 0 || s[off + 1] != 0 || s[off + 2] != 1)
            return false;
        const uint8_t id = s[off + 3];
        const size_t len = size_t(s[off + 4]) << 8 | s[off + 5];
        const bool media = id == 0xbd || (id >= 0xc0 && id <= 0xef);
        if (media && (s[off + 6] & 0xc0) == 0x80 && fn(off))
            return true;
        off += 6 + len;
    }
    return false;
}

int64_t readTs(const uint8_t *p)
{
    return int64_t((p[0] >> 1) & 7) << 30 | int64_t(p[1]) << 22 | int64_t(p[2] >> 1) << 15 | int64_t(p[3]) << 7
           | int64_t(p[4] >> 1);
}

void writeTs(uint8_t *p, int64_t ts)
{
    p[0] = uint8_t((p[0] & 0xf0) | ((ts >> 29) & 0x0e) | 1);
    p[1] = uint8_t(ts >> 22);
    p[2] = uint8_t(((ts >> 14) & 0xfe) | 1);
    p[3] = uint8_t(ts >> 7);
    p[4] = uint8_t(((ts << 1) & 0xfe) | 1);
}

} // namespace

bool dvdSectorScrambled(const uint8_t *s)
{
    return forEachMediaPes(s, [s](size_t off) { return (s[off + 6] & 0x30) != 0; });
}

void dvdShiftSectorTimes(uint8_t *s, int64_t shift)
{
    constexpr int64_t wrap = int64_t(1) << 33;
    forEachMediaPes(s, [s, shift](size_t off) {
        const int flags = s[off + 7] >> 6;
        const size_t headerEnd = off + 9 + s[off + 8];
        for (int i = 0; i < (flags == 3 ? 2 : flags == 2 ? 1 : 0); ++i) {
            uint8_t *p = s + off + 9 + 5 * i;
            if (size_t(p - s) + 5 > headerEnd || headerEnd > size_t(kBlock))
                break;
            writeTs(p, (((readTs(p) + shift) % wrap) + wrap) % wrap);
        }
        return false;
    });
}

DvdStructure::DvdStructure() = default;

DvdStructure::~DvdStructure()
{
    if (!m_disc)
        return;
    if (m_disc->vmg)
        ifoClose(m_disc->vmg);
    if (m_disc->dvd)
        DVDClose(m_disc->dvd);
    delete m_disc;
}

bool DvdStructure::open(const std::string &path, std::string &error)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        error = "the DVD path does not exist";
        return false;
    }
    const std::string root = discRoot(path);
    auto disc = std::make_unique<DvdDisc>();
    disc->dvd = DVDOpen2(nullptr, &kLogger, root.c_str());
    if (!disc->dvd) {
        error = "not a DVD-Video disc, folder or image";
        return false;
    }
    disc->vmg = ifoOpen(disc->dvd, 0);
    if (!disc->vmg || !disc->vmg->tt_srpt) {
        if (disc->vmg)
            ifoClose(disc->vmg);
        DVDClose(disc->dvd);
        error = "not a DVD-Video disc, folder or image";
        return false;
    }
    m_disc = disc.release();
    return true;
}

int DvdStructure::titleCount() const { return m_disc ? m_disc->vmg->tt_srpt->nr_of_srpts : 0; }

bool DvdStructure::title(int index, DvdTitleInfo &info, std::string &error) const
{
    if (index < 0 || index >= titleCount()) {
        error = "the DVD has no title " + std::to_string(index + 1);
        return false;
    }
    const title_info_t &t = m_disc->vmg->tt_srpt->title[index];
    IfoPtr vts(ifoOpen(m_disc->dvd, t.title_set_nr));
    if (!vts || !vts->vtsi_mat || !vts->vts_ptt_srpt || !vts->vts_pgcit || t.vts_ttn < 1
        || t.vts_ttn > vts->vts_ptt_srpt->nr_of_srpts) {
        error = "the title set of title " + std::to_string(index + 1) + " cannot be read";
        return false;
    }
    info = DvdTitleInfo();
    info.titleSet = t.title_set_nr;
    const vtsi_mat_t &mat = *vts->vtsi_mat;
    info.displayAspect = mat.vts_video_attr.display_aspect_ratio == 3 ? AVRational{16, 9} : AVRational{4, 3};

    // A title is the program chains its chapters point at, each played once.
    const ttu_t &ttu = vts->vts_ptt_srpt->title[t.vts_ttn - 1];
    std::vector<int> chains;
    for (int i = 0; i < ttu.nr_of_ptts; ++i) {
        const int pgcn = ttu.ptt[i].pgcn;
        if (pgcn >= 1 && pgcn <= vts->vts_pgcit->nr_of_pgci_srp
            && std::find(chains.begin(), chains.end(), pgcn) == chains.end())
            chains.push_back(pgcn);
    }
    const pgc_t *first = nullptr;
    for (int pgcn : chains) {
        const pgc_t *pgc = vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
        if (!pgc || !pgc->cell_playback)
            continue;
        if (!first)
            first = pgc;
        info.durationUs += playbackUs(pgc->playback_time);
        for (int c = 0; c < pgc->nr_of_cells; ++c) {
            const cell_playback_t &cell = pgc->cell_playback[c];
            // Of an angle block only the first cell (angle 1) is played.
            if (cell.block_type == 1 && cell.block_mode != 1)
                continue;
            if (cell.last_sector >= cell.first_sector)
                info.cells.push_back({cell.first_sector, cell.last_sector, cell.last_vobu_start_sector});
        }
    }
    if (!first || info.cells.empty()) {
        error = "title " + std::to_string(index + 1) + " has no cells to play";
        return false;
    }
    const bool wide = mat.vts_video_attr.display_aspect_ratio == 3;
    for (int i = 0; i < 8; ++i) {
        const uint16_t control = first->audio_control[i];
        if (!(control & 0x8000) || i >= mat.nr_of_vts_audio_streams)
            continue;
        const audio_attr_t &a = mat.vts_audio_attr[i];
        info.audio.push_back({(control >> 8) & 7, a.lang_type == 1 ? langCode(a.lang_code) : std::string()});
    }
    for (int i = 0; i < 32; ++i) {
        const uint32_t control = first->subp_control[i];
        if (!(control & 0x80000000u) || i >= mat.nr_of_vts_subp_streams)
            continue;
        const subp_attr_t &s = mat.vts_subp_attr[i];
        const int physical = int((wide ? control >> 16 : control >> 24) & 0x1f);
        info.subtitles.push_back({physical, s.type == 1 ? langCode(s.lang_code) : std::string()});
    }
    return true;
}

namespace {

// "size: WxH\npalette: rrggbb, ... (16)\n" of a title, as the dvd_subtitle
// decoder reads it from the extradata; "" when the IFO does not tell.
std::string subpictureSetup(const DvdStructure &structure, int index)
{
    const DvdDisc *disc = structure.disc();
    if (!disc || index < 0 || index >= structure.titleCount())
        return {};
    const title_info_t &t = disc->vmg->tt_srpt->title[index];
    IfoPtr vts(ifoOpen(disc->dvd, t.title_set_nr));
    if (!vts || !vts->vtsi_mat || !vts->vts_ptt_srpt || !vts->vts_pgcit || t.vts_ttn < 1
        || t.vts_ttn > vts->vts_ptt_srpt->nr_of_srpts || vts->vts_ptt_srpt->title[t.vts_ttn - 1].nr_of_ptts < 1)
        return {};
    const int pgcn = vts->vts_ptt_srpt->title[t.vts_ttn - 1].ptt[0].pgcn;
    if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp || !vts->vts_pgcit->pgci_srp[pgcn - 1].pgc)
        return {};
    const pgc_t &pgc = *vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
    const video_attr_t &v = vts->vtsi_mat->vts_video_attr;
    static const int widths[4] = {720, 704, 352, 352};
    const int height = (v.video_format == 1 ? 576 : 480) / (v.picture_size == 3 ? 2 : 1);
    char buf[64];
    std::snprintf(buf, sizeof buf, "size: %dx%d\npalette: ", widths[v.picture_size & 3], height);
    std::string text = buf;
    for (int i = 0; i < 16; ++i) {
        // IFO entries are 0x00YYCrCb, studio range.
        const uint32_t e = pgc.palette[i];
        const double y = 1.164 * (int((e >> 16) & 0xff) - 16);
        const int cr = int((e >> 8) & 0xff) - 128, cb = int(e & 0xff) - 128;
        auto clip = [](double c) { return c < 0 ? 0 : c > 255 ? 255 : int(c + 0.5); };
        std::snprintf(buf, sizeof buf, "%s%02x%02x%02x", i ? ", " : "", clip(y + 1.596 * cr),
                      clip(y - 0.813 * cr - 0.391 * cb), clip(y + 2.018 * cb));
        text += buf;
    }
    return text + "\n";
}

} // namespace

DvdReader::~DvdReader()
{
    if (m_avio) {
        av_freep(&m_avio->buffer);
        avio_context_free(&m_avio);
    }
    if (m_file)
        DVDCloseFile(m_file);
}

int DvdReader::open(InputPtr &out, const AVIOInterruptCB &interrupt)
{
    std::string error;
    if (!m_structure.open(m_path, error) || !m_structure.title(m_title, m_info, error)) {
        m_failure = error;
        return AVERROR_INVALIDDATA;
    }
    m_file = DVDOpenFile(m_structure.disc()->dvd, m_info.titleSet, DVD_READ_TITLE_VOBS);
    if (!m_file) {
        m_failure = "the video files of title " + std::to_string(m_title + 1) + " cannot be opened";
        return AVERROR(EIO);
    }
    const ssize_t fileBlocks = DVDFileSize(m_file);
    for (const auto &c : m_info.cells) {
        m_cellStart.push_back(m_total);
        m_total += int64_t(c.last) - c.first + 1;
        if (fileBlocks >= 0 && int64_t(c.last) >= fileBlocks) {
            m_failure = "title " + std::to_string(m_title + 1) + " points past the end of its video files";
            return AVERROR_INVALIDDATA;
        }
    }
    // Cells may each start their clock afresh (separate VOBs): shift every
    // cell so that it starts where the previous one ended, as a player does.
    int64_t shift = 0;
    uint32_t previousEnd = 0;
    bool havePrevious = false;
    for (const auto &c : m_info.cells) {
        uint32_t start = 0, end = 0;
        if (havePrevious && vobuTimes(c.first, start, end))
            shift += int64_t(previousEnd) - int64_t(start);
        m_cellShift.push_back(shift);
        havePrevious = vobuTimes(c.lastVobu >= c.first && c.lastVobu <= c.last ? c.lastVobu : c.first, start, end);
        previousEnd = end;
    }
    m_cache.resize(size_t(kCacheBlocks) * kBlock);
    // The packs at the start tell at once whether the disc is scrambled.
    if (!fillCache(0))
        return AVERROR(EIO);

    const int bufSize = 64 * 1024;
    auto *buffer = static_cast<unsigned char *>(av_malloc(bufSize));
    if (!buffer)
        return AVERROR(ENOMEM);
    m_avio = avio_alloc_context(buffer, bufSize, 0, this, &DvdReader::readPacket, nullptr, &DvdReader::seek);
    if (!m_avio) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    AVFormatContext *ic = avformat_alloc_context();
    if (!ic)
        return AVERROR(ENOMEM);
    ic->pb = m_avio;
    ic->flags |= AVFMT_FLAG_CUSTOM_IO;
    ic->interrupt_callback = interrupt;
    const AVInputFormat *mpeg = av_find_input_format("mpeg");
    int ret = avformat_open_input(&ic, "", mpeg, nullptr);
    if (ret < 0)
        return ret; // avformat_open_input frees the context on failure
    out.reset(ic);
    return 0;
}

bool DvdReader::arrange(AVFormatContext *ic, std::vector<int> &audio, std::vector<int> &subtitles)
{
    reorder(ic, audio, m_info.audio, physicalAudio);
    reorder(ic, subtitles, m_info.subtitles, physicalSubtitle);
    // Subpictures carry colour indices only: the dvd_subtitle decoder takes
    // the title's palette and frame size as text in the extradata.
    const std::string setup = subpictureSetup(m_structure, m_title);
    for (int idx : subtitles) {
        AVCodecParameters *par = ic->streams[idx]->codecpar;
        if (setup.empty() || par->codec_id != AV_CODEC_ID_DVD_SUBTITLE)
            continue;
        auto *data = static_cast<uint8_t *>(av_mallocz(setup.size() + 1 + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!data)
            continue;
        std::memcpy(data, setup.c_str(), setup.size() + 1);
        av_freep(&par->extradata);
        par->extradata = data;
        par->extradata_size = int(setup.size());
    }
    return true;
}

bool DvdReader::fillCache(int64_t block)
{
    // Stay within one cell per read: cells need not be contiguous.
    const auto it = std::upper_bound(m_cellStart.begin(), m_cellStart.end(), block) - 1;
    const size_t cell = size_t(it - m_cellStart.begin());
    const int64_t inCell = block - *it;
    const int64_t cellBlocks = int64_t(m_info.cells[cell].last) - m_info.cells[cell].first + 1;
    const int count = int(std::min<int64_t>(kCacheBlocks, cellBlocks - inCell));
    const ssize_t got = DVDReadBlocks(m_file, int(m_info.cells[cell].first + inCell), size_t(count), m_cache.data());
    if (got <= 0) {
        m_failure = "reading the DVD failed";
        return false;
    }
    for (ssize_t i = 0; i < got; ++i)
        if (dvdSectorScrambled(m_cache.data() + size_t(i) * kBlock)) {
            m_failure = kDvdEncryptedMessage;
            m_cacheBlock = -1;
            return false;
        }
    if (const int64_t shift = m_cellShift[cell]; shift != 0)
        for (ssize_t i = 0; i < got; ++i)
            dvdShiftSectorTimes(m_cache.data() + size_t(i) * kBlock, shift);
    m_cacheBlock = block;
    m_cacheBlocks = int(got);
    return true;
}

// The presentation times a navigation pack gives for its VOBU.
bool DvdReader::vobuTimes(uint32_t sector, uint32_t &start, uint32_t &end)
{
    uint8_t nav[kBlock];
    if (DVDReadBlocks(m_file, int(sector), 1, nav) != 1)
        return false;
    // Pack header, system header, then the PCI packet: 00 00 01 bf, length, substream 0.
    if (nav[0x26] != 0 || nav[0x27] != 0 || nav[0x28] != 1 || nav[0x29] != 0xbf || nav[0x2c] != 0)
        return false;
    auto be32 = [&nav](int at) {
        return uint32_t(nav[at]) << 24 | uint32_t(nav[at + 1]) << 16 | uint32_t(nav[at + 2]) << 8 | nav[at + 3];
    };
    start = be32(0x2d + 12);   // pci_gi.vobu_s_ptm
    end = be32(0x2d + 16);     // pci_gi.vobu_e_ptm
    return true;
}

int DvdReader::read(uint8_t *buf, int size)
{
    if (!m_failure.empty())
        return AVERROR(EIO);
    const int64_t end = m_total * kBlock;
    if (m_pos >= end)
        return AVERROR_EOF;
    int done = 0;
    while (done < size && m_pos < end) {
        const int64_t block = m_pos / kBlock;
        if (m_cacheBlock < 0 || block < m_cacheBlock || block >= m_cacheBlock + m_cacheBlocks) {
            if (!fillCache(block))
                return done > 0 ? done : AVERROR(EIO);
        }
        const int64_t offset = m_pos - m_cacheBlock * kBlock;
        const int n = int(std::min<int64_t>(size - done, int64_t(m_cacheBlocks) * kBlock - offset));
        std::memcpy(buf + done, m_cache.data() + offset, size_t(n));
        done += n;
        m_pos += n;
    }
    return done;
}

int DvdReader::readPacket(void *opaque, uint8_t *buf, int size)
{
    return static_cast<DvdReader *>(opaque)->read(buf, size);
}

int64_t DvdReader::seek(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<DvdReader *>(opaque);
    const int64_t size = self->totalBlocks() * kBlock;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += self->m_pos;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    self->m_pos = offset;
    return offset;
}

} // namespace zx
