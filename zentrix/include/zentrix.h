/*
 * zentrix.h - the media engine of Velmora Video Converter.
 *
 * A plain C API on opaque handles. Text is UTF-8, times are signed 64-bit
 * microseconds, and a call succeeds when it returns 1 (or a non-null
 * handle). Handles are closed, then released, by their owner; separate
 * handles may be used from different threads at the same time. A single
 * handle is used from one thread, except a job or merger: its status,
 * position, duration, error and stop calls may come from any thread while
 * it runs.
 *
 * Strings returned by the library are owned by the handle they came from and
 * stay valid until the next call of the same function on that handle, or
 * until the handle is released. JobLastError and MergerLastError keep theirs
 * longer: every text they return stays valid and unchanged until the handle
 * is released, whatever is called meanwhile on that or any other handle and
 * from whichever thread. Null handles are accepted everywhere and give
 * 0 / empty results.
 */
#ifndef ZENTRIX_H
#define ZENTRIX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZxSource ZxSource;
typedef struct ZxParams ZxParams;
typedef struct ZxJob ZxJob;
typedef struct ZxMerger ZxMerger;
typedef struct ZxTrack ZxTrack;
typedef struct ZxPacket ZxPacket;

/* ---- Start-up ------------------------------------------------------- */

/* Global start-up: registers the library's logging. Safe to call more than
 * once and from several threads; returns 1. */
int ZxStartup(int flags, int reserved);

/* The per-user data folder of the program (UTF-8). The library keeps a copy;
 * returns 1, or 0 for a null path. */
int ZxSetDataFolder(const char *path_utf8);

/* A library option: *value is read at once (the program passes 30 = the
 * thumbnail cache size); returns 1, or 0 for a null pointer. */
int ZxSetOption(const int *value, int enable);

/* Per-converter initialisation; idempotent; returns 1. */
int LibraryInit(int flags);

/* ---- Codec numbers ---------------------------------------------------
 * Codecs are named by the legacy FFmpeg numbers the profile catalogue uses
 * (H.264 = 28, VP9 = 169, AAC = 86018, 'H265' = 1211250229, 'XVID' =
 * 1145656920, 'DX50' = 808802372, ...). Each maps to one encoder of this
 * build. Codecs without an encoder here fall back to the closest encoder the
 * chosen container accepts:
 *   VC-1 (71), WMV3 (72)  -> wmv2          WMA Pro (86054) -> wmav2, stereo
 *   AMR-NB (73728)        -> aac (refused by the "amr" container)
 * 'XVID' and 'DX50' are MPEG-4 Part 2 (mpeg4 encoder) with that AVI tag. */

/* The FFmpeg encoder name used for a legacy codec number in a container
 * (a muxer short name such as "mp4"; null = no container check), or null
 * when there is none. The string is static. */
const char *ZxEncoderName(int legacy_codec_id, const char *container);

/* ---- Source probe --------------------------------------------------- */

/* A new, empty source; the argument is reserved (-1). Release with
 * SourceRelease. */
ZxSource *SourceCreate(int reserved);

/* Opens a file of any container the library reads. Returns 1, or 0 when the
 * file cannot be read; a source that failed to open still answers every
 * query (no streams, zero duration). Reading gives up after 15 seconds. */
int SourceOpenFile(ZxSource *src, const char *path_utf8);

/* Opens a DVD-Video structure: a folder holding VIDEO_TS, the VIDEO_TS
 * folder itself, an image file of a disc or an optical drive (/dev/sr0).
 * Returns 1 and selects the first title (when there is one), or 0 for
 * anything else (a plain folder, an image of ordinary files, a missing path)
 * and for a disc whose first title cannot be read; SourceLastError tells
 * why ("This disc is encrypted ..." for a CSS-scrambled disc). An open DVD
 * reports the brand "DVD". */
int SourceOpenDvd(ZxSource *src, const char *path_utf8);

/* Makes title i (0-based, in the order of the disc's title table) the one
 * every other query describes: duration from its program chain, picture
 * size, display aspect (4:3 or 16:9), its audio and subpicture streams in
 * the title's order with their ISO 639-1 codes, thumbnails. Returns 0 when
 * no DVD is open, i is out of range or the title cannot be read. */
int SourceSelectTitle(ZxSource *src, int title);

/* The number of titles of the open DVD plus 6 (callers list the first
 * count - 6 entries as titles); 0 when no DVD is open. */
unsigned DvdTitleCount(ZxSource *src);

/* Why the last open or select call failed; "" after a success. */
const char *SourceLastError(ZxSource *src);

/* A metadata value of the container (stream_index -1) or of one stream;
 * "" when absent. Key example: "major_brand". */
const char *SourceMetadata(ZxSource *src, const char *key, int stream_index);

/* Short name of the demuxer ("mov", "matroska", "avi", "mp3", ...), "DVD"
 * for an open DVD; "" when the source is not open. */
const char *SourceBrand(ZxSource *src);

int SourceHasVideo(ZxSource *src);   /* 1 when a video picture stream exists */
int SourceHasAudio(ZxSource *src);   /* 1 when an audio stream exists */
int64_t SourceDuration(ZxSource *src); /* microseconds; 0 when unknown */

/* Picture size in pixels as it is shown: the coded size with the stream's
 * rotation metadata applied (a portrait phone video reports 1080 x 1920).
 * The sample aspect ratio is not applied; see SourceDisplayAspect. 0 without
 * video. */
int SourceWidth(ZxSource *src);
int SourceHeight(ZxSource *src);

/* The shape the picture is shown with (after rotation and sample aspect
 * ratio) as num:den reduced; returns 0 without video. */
int SourceDisplayAspect(ZxSource *src, int *num, int *den);

/* 1 when the source can seek (a seekable file with a known duration). */
int SourceCanSeek(ZxSource *src);

/* A picture of the first frame at or after time_us (clamped into the
 * source; the first picture when nothing decodes there), upright, scaled to
 * width x height (<= 0 means the source size),
 * as a 24-bit Windows BMP file in memory: "BM", its total size as 32-bit
 * little-endian at byte 2. flags and reserved are reserved (pass 1, 0).
 * The buffer is owned by the source and valid until the next
 * SourceThumbnail call or SourceRelease. Null when no picture decodes. */
const unsigned char *SourceThumbnail(ZxSource *src, int64_t time_us, int flags,
                                     int width, int height, int reserved);

/* Audio streams, counted in file order. SourceSelectAudio makes stream i the
 * one the Audio* queries describe (returns 0 when i is out of range). */
int SourceAudioCount(ZxSource *src);
int SourceSelectAudio(ZxSource *src, int index);
const char *AudioTitle(ZxSource *src);       /* "title" tag, or "" */
const char *AudioCodecName(ZxSource *src);   /* codec short name, "aac" */
const char *AudioLanguage(ZxSource *src);    /* ISO 639 code; "" for none or "und" */
/* Bits per second of the selected audio stream: the rate the container
 * records, else measured over its first packets (up to some 5 s); 0 when
 * unknown. May read from the source. */
int64_t AudioBitRate(ZxSource *src);

/* Subtitle streams, as for audio. */
int SourceSubtitleCount(ZxSource *src);
int SourceSelectSubtitle(ZxSource *src, int index);
const char *SubtitleLanguage(ZxSource *src);
const char *SubtitleTitle(ZxSource *src);
const char *SubtitleCodecName(ZxSource *src);

/* Closes the file; the handle can open another. */
void SourceClose(ZxSource *src);
/* Frees the handle (closing it first). */
void SourceRelease(ZxSource *src);

/* ---- Parameter set ----------------------------------------------------
 * A plain value describing one output. The job or merger copies it when it
 * is opened, so the set may be released right after. Every setter returns
 * 1, or 0 for a null set or a value out of range (the value is not stored).
 */
ZxParams *ParamsCreate(void);
void ParamsRelease(ZxParams *set);

/* Legacy codec numbers (see above); -1 or 0 = no such stream in the output. */
int SetVideoCodec(ZxParams *set, int legacy_codec_id);
int SetAudioCodec(ZxParams *set, int legacy_codec_id);
/* Encoder option word, any value; carried, no effect (the program passes 2
 * along with a profile, but SetVideoProfile applies whatever this is). */
int SetVideoCodecOption(ZxParams *set, int option);
/* >= 0 (default 0 = the encoder's choice). H.264: 66 Baseline, 77 Main,
 * 100 High. H.265: 1 Main; 2 Main 10 (10-bit pictures, which carry an HDR
 * source's picture and tags as they are; 8-bit outputs get HDR sources
 * tone-mapped to BT.709); other values leave the encoder's choice, which is
 * Main for the 8-bit pictures it is given. Other values and other encoders:
 * no effect. */
int SetVideoProfile(ZxParams *set, int profile);
/* Encoded frame size in pixels, 0..16384 each. Odd sizes are rounded down to
 * even where the pixel format needs it. Rotation by 90 or 270 swaps it.
 * 0 x 0 = source size. */
int SetVideoSize(ZxParams *set, int width, int height);
/* Output frame rate num/den frames per second (num >= 0, den >= 1);
 * 0 = the source's rate. Encoders with fixed rates (MPEG-1/2, DV) get the
 * nearest rate they accept. */
int SetFrameRate(ZxParams *set, int num, int den);
/* Bits per second, >= 0; 0 = quality-driven (SetVideoQuality). */
int SetVideoBitrate(ZxParams *set, int bits_per_second);
/* 1..8 (default 2); codecs with fewer (MP2, MP3, WMA, ADPCM: 2) get their
 * most. */
int SetChannels(ZxParams *set, int channels);
/* Hz, 1000..384000 (default 44100); an encoder that takes only some rates
 * gets the nearest one it accepts. */
int SetSampleRate(ZxParams *set, int hz);
/* Bits per second, >= 0; 0 = encoder default. */
int SetAudioBitrate(ZxParams *set, int bits_per_second);
/* 0..100 (default 50): 90 and above favour quality (slower presets, lower
 * quantisers), below favour speed. Used when the video bit rate is 0, except
 * the presets of H.264/H.265 and VP8/VP9, which follow it always. */
int SetVideoQuality(ZxParams *set, int quality);
/* 0..100; carried, no effect (audio follows SetAudioBitrate). */
int SetAudioQuality(ZxParams *set, int quality);

/* Geometry. The picture is built from the source in this order: the source's
 * rotation metadata (upright), crop, rotation (clockwise), horizontal mirror,
 * then it is fitted into the output frame. */
/* The shape of the picture before rotation as num:den, each >= 0 (0:0 = the
 * cropped source's display shape). */
int SetOutputSize(ZxParams *set, int num, int den);
/* Degrees clockwise, a multiple of 90 (negative ones too: -90 = 270). */
int SetRotation(ZxParams *set, int degrees_clockwise);
/* 0 = as is (default), any other value = mirrored left-right. */
int SetFlip(ZxParams *set, int mirrored);
/* keep_shape 1: the picture keeps its shape inside the frame, with borders
 * of colour 0xRRGGBB = fill_value (0 black; higher bits are ignored);
 * 0: stretched to the frame. Default: 1, black. */
int SetFill(ZxParams *set, int keep_shape, int fill_value);
/* Crop as fractions of the upright source: x, y >= 0, w, h > 0,
 * x + w <= 1, y + h <= 1; default 0, 0, 1, 1. */
int SetCropRect(ZxParams *set, double x, double y, double w, double h);

/* Effects. Each neutral value (the default) leaves the picture or the sound
 * exactly as it would be without it. */
/* Gain in percent, 0..200 (100 unchanged). Above 100 a limiter keeps the
 * peaks just below full scale, so loud sound is compressed, never clipped. */
int SetVolume(ZxParams *set, int percent);
/* Carried, no effect. */
int SetEffectReserved(ZxParams *set, int value);
/* -235..235 (0 unchanged): added to the luma, in 8-bit levels. */
int SetBrightness(ZxParams *set, int value);
/* 0..200 percent (100 unchanged; 0 = grey). */
int SetSaturation(ZxParams *set, int value);
/* 0..200 percent (100 unchanged; 0 = flat grey). */
int SetContrast(ZxParams *set, int value);
/* -180..180 degrees around the colour wheel (0 unchanged; 180 turns red
 * into cyan). */
int SetHue(ZxParams *set, int value);
/* Interlaced sources, for conversions, merges and the preview:
 *   0 automatic (default): each source is examined once when it opens (its
 *     field order, its frames' interlace flags and a look at the combing of
 *     its first seconds). Interlaced pictures are deinterlaced to one
 *     progressive frame per frame (the frame rate is kept); NTSC film with
 *     3:2 pulldown (29.97 fps) is put back to its 23.976 film frames, and an
 *     output rate left to the source is then 23.976; progressive sources
 *     pass untouched.
 *   1 on: every source is deinterlaced (film pulldown is still undone when
 *     found).
 *   2 off: pictures are left as decoded.
 * Returns 0 for other values (the set keeps its value). */
int SetDeinterlace(ZxParams *set, int mode);

/* 1 (default): a job copies the source streams that already are what the
 * set asks for (see JobStreamsCopied); 0: every stream is decoded and
 * encoded again; 2 "same quality": the output keeps the source's picture
 * size, frame rate, channels and sample rate whatever the set says, and asks
 * no bit rate or profile; a stream is copied whenever the container takes
 * its codec and no edit touches it (whatever codec the set names), and only
 * the others are converted, to the set's codecs. Returns 0 for other values. */
int SetStreamCopy(ZxParams *set, int mode);

/* DVD title, 0-based, >= 0 (default 0). */
int SetTitle(ZxParams *set, int dvd_title);
/* Audio stream of the source, 0-based among its audio streams (default 0);
 * negative or out of range picks the default stream. */
int SetAudioTrack(ZxParams *set, int audio_index);
/* Burnt-in subtitles: set one of the three choices below. They are drawn
 * over the picture after the geometry, in the output frame, on top of the
 * watermarks (so a watermark never hides what is said), and follow the
 * source's clock: a range starting at 30 s shows first what the source shows
 * at 30 s. A choice that cannot be honoured (no such stream, a file that
 * cannot be read) makes the job's or merger's open call fail with the reason. */
/* The i-th subtitle stream of the source, counted among subtitle streams
 * (as SourceSelectSubtitle counts them), >= 0; -1 none (default). DVD
 * subpictures are drawn in the colours of the title's palette. */
int SetSubtitleStream(ZxParams *set, int subtitle_index);
/* Non-zero: the closed captions carried in the video (EIA-608); 0 none. */
int SetClosedCaptions(ZxParams *set, int enabled);
/* A subtitle file (SubRip, ASS/SSA, WebVTT, ...); "" none. */
int SetSubtitleFile(ZxParams *set, const char *path_utf8);
/* The look of the subtitles. Text formats (SubRip, WebVTT, captions, ...)
 * use all of it; ASS/SSA (their own styles) and bitmap subtitles (DVD,
 * VobSub, PGS) take only the opacity and the time offset. */
/* 0..255 (default 255): fades the drawn subtitles as a whole; 0 draws none. */
int SetSubtitleOpacity(ZxParams *set, int opacity);
/* Width and height of the text in percent, each > 0 (default 100, 100). */
int SetSubtitleScale(ZxParams *set, int x_percent, int y_percent);
/* Offset in microseconds added to every subtitle's start and end, any value
 * (default 0): positive shows the subtitles later, negative earlier. */
int SetSubtitleTimeValue(ZxParams *set, int64_t value);
/* Font family (a leading '@' is ignored); "" (default) or one not installed
 * = the default sans font. */
int SetSubtitleFont(ZxParams *set, const char *family_utf8);
/* Styles: 0 off (default), any other value on. */
int SetSubtitleBold(ZxParams *set, int on);
int SetSubtitleItalic(ZxParams *set, int on);
int SetSubtitleUnderline(ZxParams *set, int on);
int SetSubtitleStrikeOut(ZxParams *set, int on);
/* Points, > 0 (default 16), at 96 dpi on a picture 480 lines high, scaled
 * with the frame height. */
int SetSubtitleFontSize(ZxParams *set, int points);
/* Colours as 0xAARRGGBB (alpha 0xFF opaque): the text (default opaque
 * white), its outline (Color2, default 0x80000000, width 1/16 of the font
 * size) and its shadow (Color3, default opaque black, offset 1/24 of the
 * font size); an outline or shadow of alpha 0 is not drawn. */
int SetSubtitleColor(ZxParams *set, uint32_t argb);
int SetSubtitleColor2(ZxParams *set, uint32_t argb);
int SetSubtitleColor3(ZxParams *set, uint32_t argb);
/* Where the text sits, as fractions of the frame's width and height
 * (0..1; any finite value is taken and clamped into 0..1 when drawn):
 * each axis picks its alignment by thirds (left, centre, right; top, middle,
 * bottom) and the text's aligned edge, or its centre, lies at that fraction,
 * kept 2.5 % of the frame height off the frame's edge. Default 0.5, 1.0:
 * centred at the bottom. */
int SetSubtitleAnchorX(ZxParams *set, double fraction);
int SetSubtitleAnchorY(ZxParams *set, double fraction);

/* Watermarks: a text and an image, each drawn over the whole range, below
 * the subtitles. Sizes are relative to a picture 480 lines high, so a
 * watermark covers the same part of a preview and of an output of any
 * size. Positions are the top-left corner as fractions of the picture.
 * SetWatermarkActiveLayer decides which of the two is on top: 1 (default)
 * the text, 0 the image. */
/* "" none (default); drawn as typed, a line feed starts a new line. */
int SetWatermarkText(ZxParams *set, const char *text_utf8);
/* Font family; "" (default) or one not installed = the default sans font. */
int SetWatermarkFont(ZxParams *set, const char *family_utf8);
/* An image file of any still format FFmpeg reads (PNG with its alpha, JPEG,
 * GIF (its first picture), BMP, WebP); "" none. At scale 100 x 100 an image
 * of w x h pixels covers w * H / 480 x h * H / 480 pixels of an output H
 * lines high. An image that cannot be read makes the job's or merger's open
 * call fail with "cannot read the watermark image ...". */
int SetWatermarkImage(ZxParams *set, const char *path_utf8);
/* Any value; carried, no effect. */
int SetWatermarkOption(ZxParams *set, int option);
/* Carried; every mode places the image once, at its position, for the whole
 * range (the program sends 0). */
int SetWatermarkImageMode(ZxParams *set, int mode);
/* 0..255 (default 255): fades the finished text as a whole. */
int SetWatermarkTextOpacity(ZxParams *set, int opacity);
/* Width and height of the text in percent, each > 0 (default 100, 100). */
int SetWatermarkTextScale(ZxParams *set, int x_percent, int y_percent);
/* Points, > 0 (default 28), at 96 dpi on a picture 480 lines high. */
int SetWatermarkFontSize(ZxParams *set, int points);
/* Styles: 0 off (default), any other value on. */
int SetWatermarkBold(ZxParams *set, int on);
int SetWatermarkItalic(ZxParams *set, int on);
int SetWatermarkUnderline(ZxParams *set, int on);
int SetWatermarkStrikeOut(ZxParams *set, int on);
/* 0xAARRGGBB: the text (default opaque white), its outline (Color2, default
 * 0x80000000) and its shadow (Color3, default opaque black), as for the
 * subtitles; an outline or shadow of alpha 0 is not drawn. */
int SetWatermarkColor(ZxParams *set, uint32_t argb);
int SetWatermarkColor2(ZxParams *set, uint32_t argb);
int SetWatermarkColor3(ZxParams *set, uint32_t argb);
/* Any finite value; carried, no effect (SetWatermarkTextPos places it). */
int SetWatermarkAnchorX(ZxParams *set, double fraction);
int SetWatermarkAnchorY(ZxParams *set, double fraction);
/* Top-left corner of the text's drawn box as fractions of the frame's width
 * and height (default 0, 0); any finite value, so it may lie partly or
 * wholly outside. */
int SetWatermarkTextPos(ZxParams *set, double x, double y);
/* 0: the image on top; any other value (default 1): the text on top. */
int SetWatermarkActiveLayer(ZxParams *set, int layer);
/* 0..255 (default 255), multiplies the image's own alpha. */
int SetWatermarkImageOpacity(ZxParams *set, int opacity);
/* Percent, each > 0 (default 100, 100); see SetWatermarkImage. */
int SetWatermarkImageScale(ZxParams *set, int x_percent, int y_percent);
/* Top-left corner of the image as fractions of the frame's width and height
 * (default 0, 0); any finite value. */
int SetWatermarkImagePos(ZxParams *set, double x, double y);

/* The size of the text watermark as drawn on a frame_w x frame_h picture, as
 * fractions of the picture (0, 0 when the set has no watermark text); for
 * hit-testing on a preview. Returns 1, or 0 for a null set or a bad size. */
int ParamsWatermarkTextBox(const ZxParams *set, int frame_w, int frame_h, double *w, double *h);

/* The same for the image watermark (0, 0 when the set has no image). The
 * image is read once and its size remembered while the file is unchanged.
 * Returns 1, or 0 (with 0, 0) for a null set, a bad size or an image that
 * cannot be read. */
int ParamsWatermarkImageBox(const ZxParams *set, int frame_w, int frame_h, double *w, double *h);

/* ---- Status and errors shared by jobs and mergers -------------------- */

enum ZxStatus {
    ZX_STATUS_IDLE = 0,      /* created or opened, not started */
    ZX_STATUS_RUNNING = 1,
    ZX_STATUS_FINISHED = 2,  /* ran to its end */
    ZX_STATUS_STOPPED = 3,   /* ended on a stop request; output is valid */
    ZX_STATUS_FAILED = 4     /* ended on an error; see the LastError call */
};

enum ZxError {
    ZX_OK = 0,
    ZX_ERR_ARGUMENT = 1,     /* null or invalid argument, wrong call order */
    ZX_ERR_INPUT = 2,        /* the source cannot be opened or read */
    ZX_ERR_OUTPUT = 3,       /* the output cannot be created or written */
    ZX_ERR_CODEC = 4,        /* no encoder, or the encoder refused its limits */
    ZX_ERR_INTERNAL = 5
};

/* ---- Conversion job ----------------------------------------------------
 * One source to one output. The job runs on a thread of its own; no call
 * blocks on the conversion except JobClose.
 * Colours: the output's video stream is tagged with its colour primaries,
 * transfer, matrix and range (as far as the codec and container carry them):
 * a tagged source's own, an untagged one's by its size (BT.601 below 720
 * lines, BT.709 from 720 up; a picture crossing that line is converted, so
 * its colours look the same). An HDR source (PQ or HLG) is tone-mapped to
 * BT.709 for 8-bit outputs and kept as it is for 10-bit ones (H.265 profile
 * 2). Pictures of codecs that describe no colours (MPEG-4 Part 2, WMV, ...)
 * are converted to the matrix players read them with (by size), Motion JPEG
 * to BT.601. In a merge the first source decides and the others are
 * converted. */

/* A new job; the argument is reserved (-1). */
ZxJob *JobCreate(int reserved);

/* Opens the source, creates the output file in the container (a muxer short
 * name: "mp4", "matroska", "avi", "asf", "mpeg", "webm", ...) and opens the
 * encoders the set asks for. An output stream exists when the set names its
 * codec and the source has that kind of stream. An output that is the source
 * itself (also through a link or a hard link) is refused with ZX_ERR_OUTPUT
 * and the source left untouched. Returns 1, or 0 with the reason in
 * JobLastError. */
int JobOpenFile(ZxJob *job, const char *source_utf8, const char *output_utf8,
                const char *container, const ZxParams *set);

/* As JobOpenFile for a title of a DVD (see SourceOpenDvd for the paths): the
 * set's SetTitle chooses the title (0-based); its cells are read in order,
 * angle 1. The range counts from the start of the title. */
int JobOpenDvd(ZxJob *job, const char *dvd_path_utf8, const char *output_utf8,
               const char *container, const ZxParams *set);

/* The part of the source to convert: start and length in microseconds, each
 * >= 0, start counted from the source's beginning (length 0 = to the end).
 * Cut to the frame. Call before JobStart. */
int JobSetRange(ZxJob *job, int64_t start_us, int64_t length_us);

/* Starts the conversion thread; returns at once. */
int JobStart(ZxJob *job);

/* 1 when the job has ended by itself: finished or failed (tell them apart
 * with JobStatus or JobLastError). A stopped job is not finished. */
int JobIsFinished(ZxJob *job);
/* 1 once a requested stop has taken effect and the output is closed. */
int JobIsStopped(ZxJob *job);
/* enum ZxStatus. */
int JobStatus(ZxJob *job);
/* Output time written to the file for every stream so far, and the expected
 * output length, in microseconds; the position never falls and equals the
 * duration when the job has finished. */
uint64_t JobPosition(ZxJob *job);
uint64_t JobDuration(ZxJob *job);
/* Whether the output takes the source's video / audio stream over as it is
 * (packets remuxed, nothing decoded or encoded): 1 copied, 0 converted or no
 * such stream. A stream is copied when the output's container takes its
 * codec, the set asks for that codec, touches it with no edit (geometry,
 * effects, watermarks, burnt subtitles, volume), leaves the size, frame
 * rate, channels and sample rate as the source has them, asks no bit rate
 * below the source's, and the stream is within the profile and picture
 * format the encoder would give. A range that stops before the source's end,
 * or starts elsewhere than on a key frame of a copied video stream, converts
 * every stream, as does a DVD title or a source whose container lets its
 * clock jump (MPEG program and transport streams). Known from
 * JobOpenFile on, final after JobSetRange. Returns 1, or 0 (both 0) when
 * the job is not open. */
int JobStreamsCopied(ZxJob *job, int *video, int *audio);
/* Asks a running job to stop; it ends within a second, leaving a valid file
 * of what was written. Returns 0 when the job is not running. */
int JobRequestStop(ZxJob *job);
/* The last error: its message ("" when none) and, through code (may be
 * null), an enum ZxError. Reading it does not clear it. The text stays
 * valid and unchanged until JobRelease, even while the job runs on or
 * another thread asks; a new error comes as a new string. */
const char *JobLastError(ZxJob *job, int *code);
/* Waits for the thread and closes the files. Returns 1. */
int JobClose(ZxJob *job);
/* Frees the job (closing it first). */
void JobRelease(ZxJob *job);

/* ---- Merger --------------------------------------------------------------
 * Appends several sources, each re-encoded to the output set, into one file
 * that plays continuously. */

ZxMerger *MergerCreate(void);
/* Checks the codecs and creates the output file. The set decides codecs,
 * frame size and rate, and the audio format; a missing size or rate is taken
 * from the first source. The output has sound whenever the set names an
 * audio codec (and picture when the first source has one): a source without
 * sound is filled with silence, one without picture with black, so every
 * join stays in step. An existing file is not truncated before the first
 * source is added. */
int MergerOpen(ZxMerger *m, const char *output_utf8, const char *container,
               const ZxParams *set);
/* Readies the merger for the first source. */
int MergerBegin(ZxMerger *m);
/* Appends part (start, length; length 0 = to the end) of a source and starts
 * converting it on the merger's thread; returns at once. Only the picture
 * and stream choices of this set apply (crop, rotation, audio track, ...);
 * codecs and sizes stay those of MergerOpen. A previous source must have
 * ended. Sources of other sizes, rates or audio formats are conformed. The
 * output file itself is refused as a source (ZX_ERR_OUTPUT). */
int MergerAddFile(ZxMerger *m, const char *source_utf8, int64_t start_us,
                  int64_t length_us, const ZxParams *set);
/* As MergerAddFile for the DVD title the set's SetTitle chooses. */
int MergerAddDvd(ZxMerger *m, const char *dvd_path_utf8, int64_t start_us,
                 int64_t length_us, const ZxParams *set);
/* State of the source added last, as for a job. */
int MergerIsFinished(ZxMerger *m);
int MergerIsStopped(ZxMerger *m);
int MergerStatus(ZxMerger *m);
uint64_t MergerPosition(ZxMerger *m);   /* within the source added last */
uint64_t MergerDuration(ZxMerger *m);   /* of the source added last */
/* Output length written by all sources so far. */
uint64_t MergerTotalPosition(ZxMerger *m);
int MergerRequestStop(ZxMerger *m);
/* As JobLastError, for the merger's last call or the source added last; the
 * text stays valid and unchanged until MergerRelease, also after further
 * sources are added. */
const char *MergerLastError(ZxMerger *m, int *code);
/* Waits for the current source, flushes the encoders and closes the file. */
int MergerClose(ZxMerger *m);
void MergerRelease(ZxMerger *m);

/* ---- Elementary streams -------------------------------------------------
 * Muxes caller-encoded packets of up to one video, one audio and one
 * subtitle track into a container, without re-encoding. */

enum ZxTrackKind { ZX_TRACK_VIDEO = 1, ZX_TRACK_AUDIO = 2, ZX_TRACK_SUBTITLE = 8 };

/* A new track of a kind; null for another kind. Release with TrackRelease
 * after the job that uses it is closed. */
ZxTrack *TrackCreate(int kind);
/* A legacy codec number of the table (see above), video, audio or subtitle. */
int TrackSetCodec(ZxTrack *t, int legacy_codec_id);
/* Video tracks only. Picture size in pixels, each > 0. */
int TrackSetVideoSize(ZxTrack *t, int width, int height);
/* Video tracks only. Frames per second as num/den, each > 0. */
int TrackSetFrameRate(ZxTrack *t, int num, int den);
/* Video tracks only. Sample (pixel) aspect ratio num:den, num >= 0 (0 =
 * unknown), den > 0. */
int TrackSetAspect(ZxTrack *t, int num, int den);
/* Audio tracks only. Hz, > 0. */
int TrackSetSampleRate(ZxTrack *t, int hz);
/* Audio tracks only. 1..8. */
int TrackSetChannels(ZxTrack *t, int channels);
/* Bits per second, >= 0 (0 = unknown); only recorded in the stream's
 * parameters for the muxer, which may write it into its headers. */
int TrackSetBitrate(ZxTrack *t, int bits_per_second);
/* Codec private data (avcC, AudioSpecificConfig, ...), size >= 0 bytes;
 * copied. */
int TrackSetCodecData(ZxTrack *t, const unsigned char *data, int size);
/* Language of the track (ISO 639), written as given; "" none. */
int TrackSetLanguage(ZxTrack *t, const char *code);

/* Opens the output with the given tracks (any may be null, not all) and
 * writes the header. After JobStart, TrackWrite sends packets; the job
 * finishes when every track has received its end (an empty packet). */
int JobOpenStreams(ZxJob *job, const char *output_utf8, const char *container,
                   ZxTrack *video, ZxTrack *audio, ZxTrack *subtitle);

ZxPacket *PacketCreate(void);
/* The packet's payload; copied. size 0 marks the end of the track. */
int PacketSetData(ZxPacket *p, const unsigned char *data, int size);
/* Times in microseconds on the track's own clock; dts INT64_MIN = same as
 * pts; duration >= 0 (0 = unknown). */
int PacketSetTimes(ZxPacket *p, int64_t pts_us, int64_t dts_us, int64_t duration_us);
int PacketSetKeyFrame(ZxPacket *p, int keyframe);
/* Writes one packet to the track's output (in the caller's thread; the
 * muxer interleaves). Returns 1, or 0 when the track has no started job,
 * has ended, or writing failed (see JobLastError). */
int TrackWrite(ZxTrack *t, const ZxPacket *p);
void PacketRelease(ZxPacket *p);
void TrackRelease(ZxTrack *t);

/* ---- Preview player ------------------------------------------------------
 * Plays a file or a DVD title with sound, and hands every picture shown to
 * the caller twice: untouched, and with the edits of a parameter set applied
 * exactly as a conversion with that set applies them (geometry, effects,
 * watermarks, subtitles, sound volume).
 *
 * Threads: the player runs a read thread, a picture thread and a sound
 * decoding thread of its own, and SDL's audio callback. The control calls
 * below may come from any thread, also at the same time; they return at
 * once (no call waits for decoding except PlayerGrabFrame and PlayerClose).
 * Opening, closing and releasing must not overlap another call on the same
 * player. The frame and end callbacks run on the player's picture thread:
 * copy the picture or post it to your own thread, and do not block there on
 * a thread that may be calling the player.
 *
 * Clock: the sound leads; pictures are shown when the sound being heard
 * reaches their time, and a picture that is already late by more than a
 * frame is dropped (counted, see PlayerStats), so queues never grow. Without
 * a sound device (or a file without sound) pictures follow the system clock.
 * SDL_AUDIODRIVER=dummy gives a device that consumes sound in real time. */

typedef struct ZxPlayer ZxPlayer;

/* Pixel formats of delivered frames. */
enum ZxPixelFormat {
    ZX_PIXEL_YUV420P = 0,  /* three planes Y, U, V; chroma halved both ways */
    ZX_PIXEL_RGB32 = 30    /* one plane of 32-bit pixels 0xffRRGGBB in native
                              byte order: what QImage::Format_RGB32 wraps */
};

/* One picture. The planes belong to the player and are valid only until the
 * callback returns: copy what must outlive it. */
typedef struct ZxFrame {
    int format;               /* enum ZxPixelFormat */
    int width, height;        /* pixels */
    const uint8_t *data[3];   /* planes; unused ones null */
    int stride[3];            /* bytes per line of each plane */
    int64_t pts_us;           /* time of the picture from the source start */
} ZxFrame;

/* Which of the two pictures a frame callback receives. */
enum ZxFrameKind {
    ZX_FRAME_SOURCE = 0,      /* the decoded picture turned upright by the
                                 rotation metadata: PlayerSourceWidth x
                                 PlayerSourceHeight pixels, the sample aspect
                                 ratio not applied (see PlayerDisplayAspect);
                                 an HDR picture tone-mapped as for an 8-bit
                                 output */
    ZX_FRAME_OUTPUT = 1       /* the picture with every edit of the current
                                 set, at the output frame size */
};

typedef void (*ZxFrameCallback)(void *context, const ZxFrame *frame);
typedef void (*ZxEndCallback)(void *context);

/* A new player; the argument is reserved (-1). Release with PlayerRelease,
 * which closes it first. */
ZxPlayer *PlayerCreate(int reserved);
void PlayerRelease(ZxPlayer *p);

/* Opens a file for playback, paused before its first picture. width x
 * height: the output frame of the edited picture, as SetVideoSize gives it
 * to a conversion (0 x 0 = the picture's own size). open_param: how much
 * decoded sound is kept queued ahead of the device, in microseconds; the
 * device is asked for callbacks of about half that length, and it bounds
 * the delay between an effect change and hearing it (the program passes 50000;
 * 0 = 50000; clamped to 10000..1000000). Returns 1, or 0 when the file
 * cannot be read or has neither picture nor sound (PlayerLastError says
 * why). Gives up after 15 seconds of reading. Closes what was open before. */
int PlayerOpenFile(ZxPlayer *p, const char *path_utf8, int width, int height, int open_param);

/* As PlayerOpenFile for title `title` (0-based) of a DVD (paths as for
 * SourceOpenDvd). program: the program (chapter) index of the title the
 * program passes; playback always starts at the title's beginning. */
int PlayerOpenDvd(ZxPlayer *p, const char *dvd_path_utf8, int title, int program, int width, int height,
                  int open_param);

/* Why the last open failed, or the first problem met since it succeeded (a
 * stream that broke off, an edit that cannot be drawn: the edited picture is
 * then not delivered); "" when none. */
const char *PlayerLastError(ZxPlayer *p);

/* Stops the threads and frees everything of the open file; returns within
 * 200 ms even while playing. The callbacks are not called after it returns.
 * Must not be called from a callback. */
void PlayerClose(ZxPlayer *p);

/* Registers the callback of one kind (enum ZxFrameKind) with its format
 * (enum ZxPixelFormat) and context; a null callback removes it. When it
 * returns, the previous callback of that kind is not running and will not be
 * called again, so its context may be freed. Must not be called from a
 * callback. Returns 0 for a bad kind or format. */
int PlayerSetFrameCallback(ZxPlayer *p, int kind, int format, ZxFrameCallback callback, void *context);
/* Called on the picture thread when playback reaches the end of the file
 * (or the file broke off), once per play; PlayerIsEnd is 1 from then on. */
int PlayerSetEndCallback(ZxPlayer *p, ZxEndCallback callback, void *context);

/* 1 once PlayerStart has run on an open player. */
int PlayerIsReady(ZxPlayer *p);
/* Starts the threads, paused: the first picture is decoded and delivered.
 * PlayerPlay starts them itself when needed. Returns 0 when nothing is open. */
int PlayerStart(ZxPlayer *p);
/* Plays from the current position (from the start again after the end). */
int PlayerPlay(ZxPlayer *p);
/* Pauses; the picture shown stays the current one. */
int PlayerPause(ZxPlayer *p);
/* Pauses and goes back to the start. */
int PlayerStop(ZxPlayer *p);
/* 1 while playing (not paused, stopped or at the end). */
int PlayerIsPlaying(ZxPlayer *p);

/* Goes to time_us (from the source start, clamped into it): the next
 * picture shown is the one on screen at that time, decoded forward from the
 * key frame before it, and the sound continues from there. Works paused too
 * (the target picture is delivered, playback stays paused). */
int PlayerSeek(ZxPlayer *p, int64_t time_us);
/* While paused (they pause first): show the next picture, or the one before
 * the current one (decoded again from the key frame before it). */
int PlayerStepForward(ZxPlayer *p);
int PlayerStepBackward(ZxPlayer *p);
/* 1 while a seek or a step has been asked for and its picture is not shown
 * yet. */
int PlayerIsBusy(ZxPlayer *p);

/* The time of the picture now shown (of the sound heard, for a file without
 * picture), from the source start; microseconds. */
int64_t PlayerPosition(ZxPlayer *p);
int64_t PlayerDuration(ZxPlayer *p);   /* microseconds; 0 when unknown */
/* 1 when playback has reached the end (see PlayerSetEndCallback). */
int PlayerIsEnd(ZxPlayer *p);

/* Delivers the current picture again through both callbacks, the output one
 * with the current edits, so edits show while paused. Asynchronous. */
int PlayerRedraw(ZxPlayer *p);

/* Player volume 0..100; the set's effect volume (SetVolume) multiplies it. */
int PlayerSetVolume(ZxPlayer *p, int percent);

/* The latest block of sound handed to the device: interleaved signed 16-bit
 * samples (after both volumes), *bytes long. Returns 1, or 0 with a null
 * block when none was played since the last seek. The block is owned by the
 * player and valid until PlayerReleaseAudioBlock or the next
 * PlayerAudioBlock call on the same player. */
int PlayerAudioBlock(ZxPlayer *p, const int16_t **samples, int *bytes);
void PlayerReleaseAudioBlock(ZxPlayer *p);

/* The edits: the player copies the set (the caller keeps and releases its
 * own); the next picture shown or redrawn uses it. The codec, bit rate and
 * frame rate fields are ignored; SetVideoSize is replaced by the size given
 * at open. A different audio track (SetAudioTrack) switches the sound at
 * the current position. Returns 0 for a null set, or when nothing is open. */
int PlayerSetParams(ZxPlayer *p, const ZxParams *set);

/* Facts of the open source, as the Source* calls give them: 1 when it has a
 * picture / sound; picture size as shown (rotation metadata applied), 0
 * without picture; display aspect num:den, 0 when unknown. */
int PlayerHasVideo(ZxPlayer *p);
int PlayerHasAudio(ZxPlayer *p);
int PlayerSourceWidth(ZxPlayer *p);
int PlayerSourceHeight(ZxPlayer *p);
int PlayerDisplayAspect(ZxPlayer *p, int *num, int *den);
/* The picture rate num/den in pictures per second, 0 when unknown. */
int PlayerFrameRate(ZxPlayer *p, int *num, int *den);
/* The size of the edited picture (the output frame) in pixels. */
int PlayerOutputWidth(ZxPlayer *p);
int PlayerOutputHeight(ZxPlayer *p);

/* Where the text / image watermark of the current set is drawn on the
 * output frame: top-left corner and size as fractions of the frame (all 0
 * when the set has none). Returns 1, or 0 when nothing is open. */
int PlayerWatermarkTextBox(ZxPlayer *p, double *x, double *y, double *w, double *h);
int PlayerWatermarkImageBox(ZxPlayer *p, double *x, double *y, double *w, double *h);
/* Which watermark the user is editing: -1 none, 0 the text, 1 the image.
 * Only remembered for the caller (PlayerSelectedWatermark); the engine draws
 * no selection frame, the program draws its own. */
int PlayerSelectWatermark(ZxPlayer *p, int which);
int PlayerSelectedWatermark(ZxPlayer *p);

/* The picture now shown, with the current edits, at the output size, as a
 * complete 24-bit BMP file in memory ("BM", its size at byte 2, 32-bit
 * little-endian); *bytes gets the size when not null. Waits (up to 5 s) for
 * a seek or step still under way and for the current edits to be applied.
 * Null when no picture has been decoded. The buffer is owned by the caller
 * and given back with PlayerReleaseFrame. */
const unsigned char *PlayerGrabFrame(ZxPlayer *p, int *bytes);
void PlayerReleaseFrame(ZxPlayer *p, const unsigned char *bmp);

/* Counters since the open: pictures shown (delivered to the callbacks),
 * pictures dropped because they were late, and the largest distance between
 * a shown picture's time and the clock when it was shown, in microseconds. */
int PlayerStats(ZxPlayer *p, int64_t *shown, int64_t *dropped, int64_t *max_offset_us);

#ifdef __cplusplus
}
#endif

#endif /* ZENTRIX_H */
