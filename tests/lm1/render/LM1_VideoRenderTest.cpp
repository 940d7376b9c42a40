// velvet-cascade --render FILE.mp4|.mkv|.webm run as a process over the real assets, the file
// read back with ffprobe and ffmpeg: every frame of the range at the asked size and rate, the
// music beside it from the sample of the first beat, lossless frames equal to the PNG frames,
// failures that name their cause and leave no file behind, and a stop by SIGTERM that leaves a
// playable file. Also the pieces a process cannot show cheaply: the sample counts per frame,
// the progress text and the --quality option.

#include "LM1_RenderOptions.h"
#include "LM1_RenderProgress.h"
#include "LM1_VideoSink.h"
#include "QA_Buffer_OGG.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
using namespace std::chrono_literals;

constexpr int kFramesPerSecond = 8;
constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr const char* kSize = "160x90";
constexpr int kSampleRate = 44100;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The demo as a child process in the repository root (where its assets/ is), standard output
// and error into one log file, with a few environment variables added and optionally a limit on
// the size of the files it writes (a full disk, as the program sees it); it can be signalled,
// and a wait past its limit kills it, so no test hangs on it.
class DemoProcess
{
public:
    DemoProcess(const std::vector<std::string>& options, const std::string& logPath,
                const std::vector<std::string>& extraEnvironment = {}, long fileSizeLimit = 0)
        : log(logPath)
    {
        std::vector<std::string> arguments = {VC_BINARY_DIR "/velvet-cascade"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::vector<std::string> environment = {
            "LSAN_OPTIONS=print_suppressions=0:suppressions=" VC_SOURCE_DIR "/tests/support/lsan-driver.supp"};
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        for (char** entry = environ; *entry; ++entry)
            environment.push_back(*entry); // later duplicates lose: getenv takes the first
        std::vector<char*> argv, envp;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        // The log is opened here, so the size limit does not apply to it.
        const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
        pid = fork();
        if (pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            if (fileSizeLimit > 0) {
                const rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
                setrlimit(RLIMIT_FSIZE, &limit);
                // A write past the limit then fails with EFBIG instead of ending the process.
                signal(SIGXFSZ, SIG_IGN);
            }
            if (chdir(VC_SOURCE_DIR) != 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0)
                _exit(127);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(output);
        close(input);
    }
    ~DemoProcess()
    {
        if (pid > 0 && exitCode < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    DemoProcess(const DemoProcess&) = delete;
    DemoProcess& operator=(const DemoProcess&) = delete;

    // The exit code (128 + n after signal n), or -1 when it was still running after limit.
    int Wait(std::chrono::seconds limit = 240s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (pid > 0 && exitCode < 0) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= end) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                return -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return exitCode;
    }

    // Waits until the log holds text; false when the process ended first or limit passed.
    bool WaitForLog(const std::string& text, std::chrono::seconds limit = 240s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (Log().find(text) != std::string::npos)
                return true;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return Log().find(text) != std::string::npos;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    void Signal(int signalNumber) { kill(pid, signalNumber); }
    std::string Log() const { return ReadAll(log); }

private:
    pid_t pid = -1;
    int exitCode = -1;
    std::string log;
};

int Render(const std::vector<std::string>& options, const TempDir& folder, std::string* log = nullptr,
           const std::vector<std::string>& environment = {})
{
    DemoProcess demo(options, folder.File("render.log"), environment);
    const int code = demo.Wait();
    if (log)
        *log = demo.Log();
    return code;
}

// A program of the FFmpeg tools, its standard output into outputPath; true when it succeeded.
bool RunTool(const std::string& command, const std::string& outputPath)
{
    return std::system((command + " >'" + outputPath + "' 2>&1").c_str()) == 0;
}

struct Stream
{
    std::map<std::string, std::string> fields;
    std::string Get(const std::string& key) const
    {
        const auto found = fields.find(key);
        return found == fields.end() ? "" : found->second;
    }
    int Number(const std::string& key) const { return std::atoi(Get(key).c_str()); }
    // The stream's duration in seconds: its own, or the Matroska DURATION tag (HH:MM:SS.frac).
    double Seconds() const
    {
        const std::string own = Get("duration");
        if (!own.empty() && own != "N/A")
            return std::atof(own.c_str());
        const std::string tag = Get("TAG:DURATION");
        int hours = 0, minutes = 0;
        double seconds = -1.0;
        if (std::sscanf(tag.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) != 3)
            return -1.0;
        return hours * 3600.0 + minutes * 60.0 + seconds;
    }
};

struct Probe
{
    Stream video;
    Stream audio;
    int streams = 0;
};

// Every frame decoded and counted, with the streams' descriptions.
Probe ProbeFile(const std::string& path, const TempDir& folder)
{
    Probe probe;
    const std::string out = folder.File("probe.txt");
    if (!RunTool("ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,width,height,"
                 "r_frame_rate,nb_read_frames,sample_rate,channels,pix_fmt,duration:stream_tags=DURATION -of default '" +
                     path + "'",
                 out)) {
        ADD_FAILURE() << "ffprobe cannot read " << path << ":\n" << ReadAll(out);
        return probe;
    }
    std::istringstream lines(ReadAll(out));
    std::string line;
    Stream current;
    while (std::getline(lines, line)) {
        if (line == "[/STREAM]") {
            ++probe.streams;
            (current.Get("codec_type") == "video" ? probe.video : probe.audio) = current;
            current = Stream();
        } else if (const std::size_t equals = line.find('='); equals != std::string::npos) {
            current.fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return probe;
}

// What every capture must be: frames of the asked size and rate, sound as long as the pictures
// within one frame.
void ExpectWholeCapture(const Probe& probe, int frames, const std::string& videoCodec, const std::string& audioCodec,
                        int audioRate)
{
    EXPECT_EQ(probe.streams, 2);
    EXPECT_EQ(probe.video.Get("codec_name"), videoCodec);
    EXPECT_EQ(probe.video.Number("nb_read_frames"), frames) << "a frame was dropped or doubled";
    EXPECT_EQ(probe.video.Number("width"), kWidth);
    EXPECT_EQ(probe.video.Number("height"), kHeight);
    EXPECT_EQ(probe.video.Get("r_frame_rate"), std::to_string(kFramesPerSecond) + "/1");
    EXPECT_EQ(probe.audio.Get("codec_name"), audioCodec);
    EXPECT_EQ(probe.audio.Number("sample_rate"), audioRate);
    EXPECT_EQ(probe.audio.Number("channels"), 2);
    const double videoSeconds = probe.video.Seconds();
    const double audioSeconds = probe.audio.Seconds();
    EXPECT_NEAR(videoSeconds, static_cast<double>(frames) / kFramesPerSecond, 1.0 / kFramesPerSecond);
    EXPECT_NEAR(audioSeconds, videoSeconds, 1.0 / kFramesPerSecond) << "the sound and the pictures differ in length";
}

std::vector<std::int16_t> DecodeSound(const std::string& path, const TempDir& folder)
{
    const std::string raw = folder.File("sound.raw");
    EXPECT_TRUE(RunTool("ffmpeg -v error -y -i '" + path + "' -map 0:a -f s16le -ac 2 -ar 44100 '" + raw + "'",
                        folder.File("ffmpeg.txt")))
        << ReadAll(folder.File("ffmpeg.txt"));
    const std::string bytes = ReadAll(raw);
    std::vector<std::int16_t> samples(bytes.size() / sizeof(std::int16_t));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(std::int16_t));
    return samples;
}

// Correlation of the left channels of sound and music, sound's sample i against music's
// sample first + i + lag, over count samples from skip on.
double Correlation(const std::vector<std::int16_t>& sound, const std::int16_t* music, std::int64_t first, int lag,
                   int skip, int count)
{
    double both = 0.0, soundSquares = 0.0, musicSquares = 0.0;
    for (int i = skip; i < skip + count; ++i) {
        const double a = sound[static_cast<std::size_t>(i) * 2];
        const double b = music[(first + i + lag) * 2];
        both += a * b;
        soundSquares += a * a;
        musicSquares += b * b;
    }
    return soundSquares > 0.0 && musicSquares > 0.0 ? both / std::sqrt(soundSquares * musicSquares) : 0.0;
}

bool FileExists(const std::string& path)
{
    return std::filesystem::exists(path);
}
} // namespace

TEST(LM1_VideoRenderTest, Mp4HoldsEveryFrameOfTheRangeWithTheMusicFromItsFirstBeat)
{
    TempDir folder;
    const std::string video = folder.File("range.mp4");
    std::string log;
    // Beats 4 to 6: 2 beats = 1 s = 8 frames at 8 fps.
    ASSERT_EQ(Render({"--render", video, "--size", kSize, "--fps", "8", "--from", "4", "--to", "6"}, folder, &log), 0)
        << log;
    EXPECT_FALSE(FileExists(video + ".part")) << "the unfinished name stays behind";
    EXPECT_NE(log.find("8 frames (1.00 s of video at 8 fps)"), std::string::npos) << "no summary line:\n" << log;
    EXPECT_NE(log.find("100% (8/8 frames)"), std::string::npos) << "no progress line for the last tenth:\n" << log;
    const Probe probe = ProbeFile(video, folder);
    ExpectWholeCapture(probe, 8, "h264", "aac", kSampleRate);
    EXPECT_EQ(probe.video.Get("pix_fmt"), "yuv420p");

    // The sound is the music from beat 4's sample (4 x 22050) on: it matches there, and not a
    // few milliseconds either side.
    QC_Ptr<QA_Buffer> music;
    ASSERT_TRUE(QA_Buffer_OGG::Load(VC_SOURCE_DIR "/assets/music.ogg", music));
    const auto* pcm = reinterpret_cast<const std::int16_t*>(music->Data());
    const std::vector<std::int16_t> sound = DecodeSound(video, folder);
    ASSERT_GE(sound.size(), std::size_t(kSampleRate) * 2);
    const std::int64_t first = LM1_VideoSink::SampleOfBeat(4.0);
    constexpr int kSkip = 2048, kCount = 30000;
    const double inStep = Correlation(sound, pcm, first, 0, kSkip, kCount);
    EXPECT_GT(inStep, 0.8) << "the sound is not the music of beat 4 on";
    for (int lag : {-441, -110, 110, 441})
        EXPECT_GT(inStep, Correlation(sound, pcm, first, lag, kSkip, kCount))
            << "the music matches better " << lag << " samples away";
}

TEST(LM1_VideoRenderTest, LosslessMkvFramesEqualThePngFramesOfTheSameRange)
{
    TempDir folder;
    const std::string video = folder.File("lossless.mkv");
    const std::string pictures = folder.File("png");
    // 8 frames: more than the read-backs in flight and the pictures queued for the encoder
    // together, so both rings wrap before the end.
    constexpr int kFrames = 8;
    const std::vector<std::string> range = {"--size", kSize, "--fps", "8", "--from", "12", "--to", "14"};
    std::vector<std::string> videoOptions = {"--render", video, "--quality", "0"};
    videoOptions.insert(videoOptions.end(), range.begin(), range.end());
    std::vector<std::string> folderOptions = {"--render", pictures};
    folderOptions.insert(folderOptions.end(), range.begin(), range.end());
    std::string log;
    ASSERT_EQ(Render(videoOptions, folder, &log), 0) << log;
    ASSERT_EQ(Render(folderOptions, folder, &log), 0) << log;
    const Probe probe = ProbeFile(video, folder);
    ExpectWholeCapture(probe, kFrames, "h264", "aac", kSampleRate);

    const std::string raw = folder.File("frames.rgb");
    ASSERT_TRUE(RunTool("ffmpeg -v error -y -i '" + video + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'",
                        folder.File("ffmpeg.txt")));
    const std::string decoded = ReadAll(raw);
    const std::size_t frameBytes = std::size_t(kWidth) * kHeight * 3;
    ASSERT_EQ(decoded.size(), frameBytes * kFrames);
    std::vector<unsigned char> previous;
    for (int frame = 0; frame < kFrames; ++frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "/frame_%06d.png", frame);
        std::vector<unsigned char> png;
        unsigned width = 0, height = 0;
        ASSERT_EQ(lodepng::decode(png, width, height, pictures + name, LCT_RGB, 8), 0u) << name;
        ASSERT_EQ(png.size(), frameBytes);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < frameBytes; ++i)
            differing += png[i] != static_cast<unsigned char>(decoded[frame * frameBytes + i]);
        EXPECT_EQ(differing, 0u) << "frame " << frame << " differs from " << name << " in " << differing << " values";
        // Neighbours differ, so frames out of order or repeated could not pass the comparison.
        EXPECT_NE(png, previous) << name << " repeats the frame before";
        previous = png;
    }
}

TEST(LM1_VideoRenderTest, ThePresetReachesTheEncoderAndDrawingAloneWritesNothing)
{
    TempDir folder;
    const std::string video = folder.File("preset.mp4");
    const std::vector<std::string> range = {"--size", kSize, "--fps", "8", "--from", "4", "--to", "6"};
    std::vector<std::string> options = {"--render", video, "--preset", "ultrafast", "--verbose"};
    options.insert(options.end(), range.begin(), range.end());
    std::string log;
    ASSERT_EQ(Render(options, folder, &log), 0) << log;
    EXPECT_NE(log.find("quality 18, preset ultrafast."), std::string::npos) << log;
    ExpectWholeCapture(ProbeFile(video, folder), 8, "h264", "aac", kSampleRate);

    // The same frames drawn for the time they take alone: no file, and a summary to compare.
    const std::string drawn = folder.File("drawn.mp4");
    options = {"--render", drawn};
    options.insert(options.end(), range.begin(), range.end());
    ASSERT_EQ(Render(options, folder, &log, {"VC_RENDER_ONLY=1"}), 0) << log;
    EXPECT_NE(log.find("8 frames (1.00 s of video at 8 fps) drawn without read-back or output, in "),
              std::string::npos)
        << log;
    EXPECT_FALSE(FileExists(drawn) || FileExists(drawn + ".part"));
}

TEST(LM1_VideoRenderTest, FailuresNameTheirCauseExitWithOneAndLeaveNoFile)
{
    TempDir folder;
    std::string log;
    // A path below a plain file cannot be created, whoever runs the test.
    const std::string blocker = folder.Write("plain-file", "x");
    const std::string unwritable = blocker + "/capture.mp4";
    EXPECT_EQ(Render({"--render", unwritable, "--size", kSize, "--fps", "8", "--to", "2"}, folder, &log), 1) << log;
    EXPECT_NE(log.find("cannot write " + unwritable), std::string::npos) << log;

    const std::string missing = folder.File("missing-encoder.mp4");
    EXPECT_EQ(Render({"--render", missing, "--size", kSize, "--fps", "8", "--to", "2"}, folder, &log,
                     {"VC_VIDEO_ENCODER=vc-no-such-encoder"}),
              1)
        << log;
    EXPECT_NE(log.find("the video encoder vc-no-such-encoder is not available"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(missing) || FileExists(missing + ".part"));

    const std::string missingSound = folder.File("missing-audio.webm");
    EXPECT_EQ(Render({"--render", missingSound, "--size", kSize, "--fps", "8", "--to", "2"}, folder, &log,
                     {"VC_AUDIO_ENCODER=vc-no-such-encoder"}),
              1)
        << log;
    EXPECT_NE(log.find("the audio encoder vc-no-such-encoder is not available"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(missingSound) || FileExists(missingSound + ".part"));

    // The codecs are a module the program loads for a video: without it, a video is refused.
    const std::string noModule = folder.File("no-module.mkv");
    EXPECT_EQ(Render({"--render", noModule, "--size", kSize, "--fps", "8", "--to", "2"}, folder, &log,
                     {"VC_VIDEO_MODULE=" + folder.File("missing-module.so")}),
              1)
        << log;
    EXPECT_NE(log.find("the video module cannot be loaded (" + folder.File("missing-module.so")), std::string::npos) << log;
    EXPECT_FALSE(FileExists(noModule) || FileExists(noModule + ".part"));

    // 4:2:0 pictures halve the chroma in both directions: an odd side is refused, not cropped.
    const std::string odd = folder.File("odd.mkv");
    EXPECT_EQ(Render({"--render", odd, "--size", "161x90", "--fps", "8", "--to", "2"}, folder, &log), 1) << log;
    EXPECT_NE(log.find("must be even"), std::string::npos) << log;
    // H.264's rate factor ends at 51; VP9's goes on to 63.
    EXPECT_EQ(Render({"--render", odd, "--size", kSize, "--quality", "60", "--to", "2"}, folder, &log), 1) << log;
    EXPECT_NE(log.find("quality (CRF) must be 0 to 51"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(odd) || FileExists(odd + ".part"));

    // Past the end of the demo no frame is drawn: an empty video is not success.
    const std::string late = folder.File("late.mp4");
    EXPECT_EQ(Render({"--render", late, "--size", kSize, "--fps", "8", "--from", "450", "--to", "452"}, folder, &log), 1)
        << log;
    EXPECT_NE(log.find("no video was written"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(late) || FileExists(late + ".part"));
}

TEST(LM1_VideoRenderTest, AFullDiskIsReportedWithItsReasonAndLeavesNoFile)
{
    TempDir folder;
    const std::string video = folder.File("full.mkv");
    // Lossless frames of about 20 KB each against a 100 KB limit: the disk fills a few frames in.
    DemoProcess demo({"--render", video, "--size", kSize, "--fps", "8", "--to", "40", "--quality", "0"},
                     folder.File("render.log"), {}, 100 * 1024);
    EXPECT_EQ(demo.Wait(), 1) << demo.Log();
    const std::string log = demo.Log();
    EXPECT_NE(log.find("cannot write " + video + ".part: File too large"), std::string::npos) << log;
    EXPECT_EQ(log.find("frames (", log.find("Cannot write the video")), std::string::npos)
        << "a summary after the failure reads as success:\n"
        << log;
    EXPECT_FALSE(FileExists(video) || FileExists(video + ".part"));
}

TEST(LM1_VideoRenderTest, SigtermStopsBetweenFramesAndLeavesAPlayableFile)
{
    TempDir folder;
    const std::string video = folder.File("stopped.webm");
    // 400 frames: the signal comes after the first 40, long before the last.
    DemoProcess demo({"--render", video, "--size", kSize, "--fps", "8", "--from", "0", "--to", "100"},
                     folder.File("render.log"));
    ASSERT_TRUE(demo.WaitForLog("velvet-cascade: 10% (")) << demo.Log();
    demo.Signal(SIGTERM);
    ASSERT_EQ(demo.Wait(), 128 + SIGTERM) << demo.Log();
    const std::string log = demo.Log();
    EXPECT_NE(log.find("stopped by SIGTERM after"), std::string::npos) << log;
    EXPECT_NE(log.find("plays up to there"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(video + ".part"));
    const std::size_t after = log.find("stopped by SIGTERM after ");
    ASSERT_NE(after, std::string::npos);
    const int frames = std::atoi(log.c_str() + after + std::strlen("stopped by SIGTERM after "));
    EXPECT_GE(frames, 40);
    EXPECT_LT(frames, 400);
    // Opus has no 44.1 kHz: WebM's sound is 48 kHz.
    ExpectWholeCapture(ProbeFile(video, folder), frames, "vp9", "opus", 48000);
}

TEST(LM1_VideoRenderTest, SoundSamplesAddUpToThePicturesExactly)
{
    for (int fps : {1, 7, 8, 24, 30, 60, 144}) {
        // After fps frames exactly one second of samples; every frame gets its share, none
        // more than a sample off the ideal.
        EXPECT_EQ(LM1_VideoSink::SamplesThrough(fps - 1, fps), kSampleRate) << fps << " fps";
        std::int64_t previous = 0;
        for (int frame = 0; frame < 3 * fps; ++frame) {
            const std::int64_t through = LM1_VideoSink::SamplesThrough(frame, fps);
            EXPECT_NEAR(static_cast<double>(through - previous), double(kSampleRate) / fps, 1.0)
                << "frame " << frame << " at " << fps << " fps";
            previous = through;
        }
    }
    EXPECT_EQ(LM1_VideoSink::SampleOfBeat(0.0), 0);
    EXPECT_EQ(LM1_VideoSink::SampleOfBeat(4.0), 88200);
    EXPECT_EQ(LM1_VideoSink::SampleOfBeat(447.5), 9867375);
}

TEST(LM1_VideoRenderTest, ProgressShowsTenthsInLogsAndABarOnATerminal)
{
    LM1_RenderProgress lines(100, false, 80);
    EXPECT_EQ(lines.Text(5, 1.0), "") << "no line before the first tenth";
    EXPECT_EQ(lines.Text(10, 2.0), "velvet-cascade: 10% (10/100 frames), 5.0 fps, 0:18 left");
    EXPECT_EQ(lines.Text(19, 3.0), "") << "one line a tenth";
    EXPECT_EQ(lines.Text(35, 7.0), "velvet-cascade: 35% (35/100 frames), 5.0 fps, 0:13 left")
        << "a jump over a tenth gives one line";
    EXPECT_EQ(lines.Text(100, 20.0), "velvet-cascade: 100% (100/100 frames), 5.0 fps, 0:00 left");
    EXPECT_EQ(lines.Text(100, 21.0), "");

    LM1_RenderProgress bar(200, true, 80);
    const std::string half = bar.Text(100, 50.0);
    EXPECT_EQ(half.find("[####################....................] 100/200 frames, 2.0 fps, 0:50 left"), 0u) << half;
    EXPECT_EQ(bar.Text(101, 50.05), "") << "redrawn at most five times a second";
    EXPECT_NE(bar.Text(200, 50.1).find("200/200"), std::string::npos) << "the last frame is always drawn";
    LM1_RenderProgress narrow(200, true, 20);
    EXPECT_LE(narrow.Text(1, 1.0).find(']'), 11u) << "a narrow terminal gets the shortest bar";

    EXPECT_EQ(LM1_RenderProgress::Clock(65.0), "1:05");
    EXPECT_EQ(LM1_RenderProgress::Clock(3723.0), "1:02:03");
    EXPECT_EQ(LM1_RenderProgress::Clock(-1.0), "--:--");
}
