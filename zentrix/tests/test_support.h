// Helpers shared by the engine tests: paths, ffprobe facts, running jobs
// under a deadline.
#pragma once

#include "zentrix.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace zxtest {

namespace fs = std::filesystem;

// The program starts the engine first; so do the tests (it quietens the log).
inline const int kStarted = ZxStartup(1, 1);

inline std::string media(const std::string &name) { return std::string(ZX_TEST_MEDIA) + "/" + name; }

// This test program's own output folder.
inline std::string outDir()
{
    fs::create_directories(ZX_TEST_OUT);
    return ZX_TEST_OUT;
}

// A fresh path in the output folder (an earlier run's file is gone).
inline std::string outPath(const std::string &name)
{
    const std::string p = outDir() + "/" + name;
    fs::remove(p);
    return p;
}

// Writes a file into the output folder and returns its path.
inline std::string writeFile(const std::string &name, const std::string &content)
{
    const std::string path = outDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

inline std::string shellQuote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a command and returns its standard output; exitCode gets its status.
inline std::string run(const std::string &cmd, int *exitCode = nullptr)
{
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int st = pclose(p);
    if (exitCode)
        *exitCode = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

// Runs a program with its arguments as they are (no shell, so any file name
// is safe); standard input and output come from and go to the given files
// ("" = /dev/null, and errors always go there). Returns the exit status, -1
// when the program did not run.
inline int spawn(const std::vector<std::string> &args, const std::string &in = "", const std::string &out = "")
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&io, 1, out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &io, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&io);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What ffprobe reports about a file: one key/value map per stream and one
// for the container.
struct Probe {
    std::vector<std::map<std::string, std::string>> streams;
    std::map<std::string, std::string> format;
    bool ok = false;

    const std::map<std::string, std::string> *first(const std::string &type) const
    {
        for (const auto &s : streams)
            if (s.count("codec_type") && s.at("codec_type") == type)
                return &s;
        return nullptr;
    }
    int count(const std::string &type) const
    {
        int n = 0;
        for (const auto &s : streams)
            n += s.count("codec_type") && s.at("codec_type") == type;
        return n;
    }
    double duration() const { return format.count("duration") ? std::atof(format.at("duration").c_str()) : 0; }
};

inline Probe ffprobe(const std::string &path)
{
    int rc = 0;
    const std::string text = run("ffprobe -v error -show_entries "
                                 "stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels,duration,"
                                 "nb_read_frames:stream_tags=language,title:stream_side_data=rotation:"
                                 "format=duration,format_name:format_tags=major_brand -of compact "
                                 + shellQuote(path) + " 2>/dev/null",
                                 &rc);
    Probe p;
    p.ok = rc == 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        std::map<std::string, std::string> kv;
        size_t start = line.find('|');
        const std::string section = line.substr(0, start);
        while (start != std::string::npos) {
            size_t next = line.find('|', start + 1);
            const std::string field = line.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1);
            const size_t eq = field.find('=');
            if (eq != std::string::npos)
                kv[field.substr(0, eq)] = field.substr(eq + 1);
            start = next;
        }
        if (section == "stream")
            p.streams.push_back(kv);
        else if (section == "format")
            p.format = kv;
    }
    return p;
}

inline int intOf(const std::map<std::string, std::string> *s, const char *key)
{
    return s && s->count(key) ? std::atoi(s->at(key).c_str()) : -1;
}

inline std::string strOf(const std::map<std::string, std::string> *s, const char *key)
{
    return s && s->count(key) ? s->at(key) : std::string();
}

// The first picture ffmpeg decodes from a file, after an optional filter, as
// raw pixels of a format.
inline std::vector<uint8_t> decodedFrame(const std::string &file, const std::string &filter = "",
                                         const std::string &pixfmt = "gray")
{
    const std::string vf = filter.empty() ? "" : " -vf '" + filter + "'";
    const std::string raw = run("ffmpeg -v error -i " + shellQuote(file) + vf + " -frames:v 1 -pix_fmt " + pixfmt
                                + " -f rawvideo - 2>/dev/null");
    return std::vector<uint8_t>(raw.begin(), raw.end());
}

// One audio track as ffmpeg decodes it: mono 16-bit samples at a rate.
inline std::vector<int16_t> decodedSound(const std::string &file, int track = 0, int rate = 44100)
{
    const std::string raw = run("ffmpeg -v error -i " + shellQuote(file) + " -map 0:a:" + std::to_string(track)
                                + " -ac 1 -ar " + std::to_string(rate) + " -f s16le - 2>/dev/null");
    std::vector<int16_t> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
}

// Mean of one channel over [x0, x1) x [y0, y1) of a w pixels wide picture:
// the byte at offset + (y * w + x) * step.
inline double meanOver(const std::vector<uint8_t> &pic, int w, int x0, int y0, int x1, int y1, size_t offset = 0,
                       int step = 1)
{
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            sum += pic[offset + (size_t(y) * w + x) * step];
    return sum / double((x1 - x0) * (y1 - y0));
}

// Waits for a job, or a merger's current source, to end by itself; one still
// running at the deadline is stopped and reported as a hang.
template <typename Handle, typename Ended, typename Stop, typename Status>
int waitEnd(Handle *h, Ended ended, Stop stop, Status status, std::chrono::seconds limit, const char *what)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ended(h)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << what << " did not end within " << limit.count() << " s";
            stop(h);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status(h);
}

inline int waitJob(ZxJob *job, std::chrono::seconds limit = std::chrono::seconds(90))
{
    return waitEnd(job, [](ZxJob *j) { return JobIsFinished(j) || JobIsStopped(j); }, JobRequestStop, JobStatus,
                   limit, "job");
}

inline int waitMerger(ZxMerger *m, std::chrono::seconds limit = std::chrono::seconds(90))
{
    return waitEnd(m, [](ZxMerger *x) { return MergerIsFinished(x) || MergerIsStopped(x); }, MergerRequestStop,
                   MergerStatus, limit, "merged source");
}

using zxh::ParamsPtr;
using zxh::JobPtr;
using zxh::MergerPtr;
using zxh::SourcePtr;
using zxh::TrackPtr;
using zxh::PacketPtr;

inline ParamsPtr makeParams(int vcodec, int acodec, int width = 0, int height = 0, int rate = 44100, int channels = 2)
{
    ParamsPtr p(ParamsCreate());
    SetVideoCodec(p.get(), vcodec);
    SetAudioCodec(p.get(), acodec);
    if (width > 0)
        SetVideoSize(p.get(), width, height);
    SetSampleRate(p.get(), rate);
    SetChannels(p.get(), channels);
    return p;
}

// Converts src (a file, or a DVD when dvd is set) into out, from start for
// length (0: to the end), and waits; "" when it finished, else the reason.
inline std::string convertFile(const std::string &src, const std::string &out, const char *container, ZxParams *p,
                               int64_t start = 0, int64_t length = 0, bool dvd = false)
{
    JobPtr job(JobCreate(-1));
    if (!(dvd ? JobOpenDvd : JobOpenFile)(job.get(), src.c_str(), out.c_str(), container, p)
        || ((start || length) && !JobSetRange(job.get(), start, length)) || !JobStart(job.get()))
        return std::string("refused: ") + JobLastError(job.get(), nullptr);
    const int status = waitJob(job.get());
    const std::string error = status == ZX_STATUS_FINISHED ? "" : "ended " + std::to_string(status) + ": "
                                                                      + JobLastError(job.get(), nullptr);
    JobClose(job.get());
    return error;
}

// The whole of a file as bytes ("" when it cannot be read).
inline std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs ffmpeg quietly, never asking, with the arguments as they are; true
// when it succeeded (a failure is reported with the output named).
inline bool ffmpegMakes(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-y", "-v", "error"});
    const bool ok = spawn(args) == 0;
    EXPECT_TRUE(ok) << "ffmpeg could not make " << args.back();
    return ok;
}

// zxtool with its arguments (already quoted for the shell) under a time
// limit; returns what it printed, with its errors unless told otherwise.
inline std::string zxtool(const std::string &args, int *exitCode = nullptr, bool errors = true, int seconds = 120)
{
    return run("timeout " + std::to_string(seconds) + " " + shellQuote(ZXTOOL_PATH) + " " + args
                   + (errors ? " 2>&1" : " 2>/dev/null"),
               exitCode);
}

// ffmpeg decodes every stream of a file without a single complaint.
inline bool decodesCleanly(const std::string &file)
{
    int rc = 0;
    const std::string errors = run("ffmpeg -v error -xerror -i " + shellQuote(file) + " -f null - 2>&1", &rc);
    return rc == 0 && errors.empty();
}

// What a job's open call answered: refused or not, the code and the reason.
struct OpenResult {
    int opened = 0;
    int code = 0;
    std::string message;
};

inline OpenResult openJob(const std::string &src, const std::string &out, const char *container, ZxParams *p,
                          bool dvd = false)
{
    JobPtr job(JobCreate(-1));
    OpenResult r;
    r.opened = (dvd ? JobOpenDvd : JobOpenFile)(job.get(), src.c_str(), out.c_str(), container, p);
    r.message = JobLastError(job.get(), &r.code);
    return r;
}

// A merger opened on out and begun.
inline MergerPtr beginMerger(const std::string &out, const char *container, ZxParams *p)
{
    MergerPtr m(MergerCreate());
    EXPECT_EQ(MergerOpen(m.get(), out.c_str(), container, p), 1) << MergerLastError(m.get(), nullptr);
    EXPECT_EQ(MergerBegin(m.get()), 1) << MergerLastError(m.get(), nullptr);
    return m;
}

} // namespace zxtest
