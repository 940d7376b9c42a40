#include "LM1_OfflineRender.h"

#include "LM1_DataFolders.h"
#include "LM1_Demo.h"
#include "LM1_Draw2D.h"
#include "LM1_FrameSink.h"
#include "LM1_RenderProgress.h"
#include "LM1_SinkThread.h"
#include "LM1_Startup.h"
#include "LM1_VideoSink.h"
#include "QA_Audio.h"
#include "QC_Callback.h"
#include "QC_Image.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QC_Timer.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QP_Console.h"
#include "QP_System.h"
#include "QR_Renderer.h"
#include "QU_Font.h"

#include <lodepng.h>
#include <zlib.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Sections: start-up and shut-down; loading; one frame; the outputs; the frame loop.

namespace
{
constexpr std::int32_t kTempo = 120;
constexpr double kMillisecondsPerBeat = 60000.0 / kTempo;
// A load that never finishes (a shader that does not compile keeps its asset unloaded without
// a fatal report) ends the run this long after the last error line.
constexpr std::int64_t kGiveUpAfterErrorMilliseconds = 5000;
constexpr std::int64_t kLoadTimeOutMilliseconds = 300000;
constexpr int kFailureExitCode = 1;
// Pictures between the read-back and the sink's thread: one being written, one waiting, one
// being filled.
constexpr std::size_t kSinkQueueDepth = 3;

// The main thread's CPU time in milliseconds: what the frame costs this process's main thread,
// without the rasteriser's own threads.
double ThreadCpuMilliseconds()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
}

// Watches the log for the run: a fatal report of an asset that cannot be read ends the run with
// the failure exit code instead of the fatal one (the line naming the file is already written
// by the standard error backend, which comes first); error lines are counted for the loading
// wait.
class OfflineLogWatch : public QC_LogBackend
{
public:
    OfflineLogWatch() { clock.Start(); }
    void Write(int level, std::uint32_t, const char* message, const char*, int) override
    {
        if (level >= QC_LOG_ERROR)
            lastErrorAt.store(clock.ElapsedMilliseconds() + 1, std::memory_order_relaxed);
        if (level == QC_LOG_FATAL && std::strncmp(message, "Unable to load ", 15) == 0) {
            std::fprintf(stderr, "velvet-cascade: %s\n", message);
            QP_ExitProcess(kFailureExitCode);
        }
    }
    // Milliseconds of this watch's clock (0: no error yet); the clock is only read, so worker
    // threads may report while the main thread asks.
    std::int64_t LastErrorAt() const { return lastErrorAt.load(std::memory_order_relaxed); }
    std::int64_t Now() const { return clock.ElapsedMilliseconds() + 1; }

private:
    QC_Timer clock;
    std::atomic<std::int64_t> lastErrorAt{0};
};

struct OfflineRun
{
    explicit OfflineRun(const LM1_RenderOptions& commandLine) : line(commandLine) {}
    const LM1_RenderOptions& line;
    std::string assetRoot;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;
    std::unique_ptr<LM1_Demo> demo;
    OfflineLogWatch* logWatch = nullptr;
    QC_Ptr<QC_Image> backBuffer;
    std::FILE* table = nullptr;
    // Where the frames go; video is the same object when it is a video file (else null).
    std::unique_ptr<LM1_FrameSink> sink;
    LM1_VideoSink* video = nullptr;
    // The sink's thread: after the sink, so that it goes first and the sink is never destroyed
    // under a running worker.
    std::unique_ptr<LM1_SinkThread> writer;
    // Frames handed to the writer so far: the read-backs come back in the order they were
    // queued, so this is also the next collected frame's number.
    std::int64_t framesDelivered = 0;
    // VC_RENDER_ONLY=1: the frames are drawn and nothing is read back or written, to measure
    // what the outputs cost against the drawing alone.
    bool renderOnly = false;
    // Wall time of the frame loop's three stages on the main thread: the demo's frame (drawing
    // commands), the read-back (starting the copies and waiting for the oldest, which waits for
    // the rasteriser to finish that frame) and the output (waiting for room in the sink's
    // queue while the encoder is behind).
    double renderSeconds = 0.0;
    double readBackSeconds = 0.0;
    double writeSeconds = 0.0;
};

// --- start-up and shut-down --------------------------------------------------------------------

void StartSubsystems(OfflineRun& run)
{
    LM1_StartupSettings settings;
    settings.fatalMessageBox = false;
    run.logWatch = new OfflineLogWatch;
    settings.logBackend = run.logWatch;
    settings.needsDisplay = false;
    settings.renderer = QR_RendererSettings{.backend = QR_Backend::DX10, .headless = true};
    settings.utilityObject = false;
    settings.sync.bpm = kTempo;
    settings.assetRoot = run.assetRoot;
    settings.verboseLog = run.line.verbose;
    settings.watchAssets = false;
    settings.fatalOnLoadFailure = true;
    // The music is decoded and loaded like in the live demo but never played: the audio layer
    // opens its null output, so no sound device is needed.
    settings.audioEnabled = false;
    settings.silentAudio = true;
    LM1_StartLogAndRenderer(settings);
    const auto width = static_cast<std::uint32_t>(run.line.width);
    const auto height = static_cast<std::uint32_t>(run.line.height);
    run.swapChain = QR_GetRenderer()->CreateSwapChain(width, height);
    LM1_StartSubsystems(settings);
    run.context = LM1_BindSwapChain(run.swapChain.Get(), run.line.width, run.line.height);
    run.backBuffer = QC_Ptr<QC_Image>(new QC_Image(width, height));
}

void StopSubsystems(OfflineRun& run)
{
    // The demo's objects, the 2D kit's and the render context go while the renderer and the
    // assets still exist.
    run.demo.reset();
    LM1_ReleaseDraw2D();
    run.context = nullptr;
    LM1_StopSubsystems();
}

// --- loading -----------------------------------------------------------------------------------

// Runs the main thread's part of the loads until the demo's music gate opens. False when a
// load failed without ending the process (the log has said what).
bool WaitUntilLoaded(OfflineRun& run)
{
    QC_Timer waiting;
    waiting.Start();
    std::int64_t lastReport = 0;
    while (!run.demo->StartWhenLoaded()) {
        if (QP_StopRequested())
            return false;
        QC_GetTasks()->RunMainThreadTasks();
        QD_GetAssets()->Update();
        const std::int64_t now = waiting.ElapsedMilliseconds();
        const std::int64_t lastError = run.logWatch->LastErrorAt();
        if (lastError != 0 && run.logWatch->Now() - lastError > kGiveUpAfterErrorMilliseconds) {
            std::fprintf(stderr, "velvet-cascade: an asset did not load; the errors above say which.\n");
            return false;
        }
        if (now > kLoadTimeOutMilliseconds) {
            std::fprintf(stderr, "velvet-cascade: the assets were still loading after %lld s.\n",
                         static_cast<long long>(now / 1000));
            return false;
        }
        if (now - lastReport >= 1000) {
            lastReport = now;
            std::fprintf(stderr, "velvet-cascade: loading assets (%lld s)\n", static_cast<long long>(now / 1000));
        }
        QC_Sleep(1);
    }
    return true;
}

// --- one frame ---------------------------------------------------------------------------------

// zlib's fastest level in place of the PNG library's own deflate: several times faster, files
// a little larger. The frames are for looking at, and hundreds of them are written in one run.
unsigned FastDeflate(unsigned char** out, std::size_t* outSize, const unsigned char* in, std::size_t inSize,
                     const LodePNGCompressSettings*)
{
    uLongf size = compressBound(static_cast<uLong>(inSize));
    // The PNG library frees this buffer with free().
    *out = static_cast<unsigned char*>(std::malloc(size));
    if (!*out)
        return 83; // the PNG library's "memory allocation failed"
    if (compress2(*out, &size, in, static_cast<uLong>(inSize), Z_BEST_SPEED) != Z_OK)
        return 111; // its "custom zlib error"
    *outSize = size;
    return 0;
}

// One picture on its way to a PNG file: filled on the main thread, encoded and written by a
// worker of the pool while the next frames render.
struct PngJob
{
    std::vector<unsigned char> rgb;
    unsigned width = 0;
    unsigned height = 0;
    std::string path;
    QC_Ptr<QC_Task<bool>> task;

    // RGB, top row first; each row filtered by its left neighbour, which compresses the film
    // grain better than no filter and costs little.
    static bool Write(PngJob* job)
    {
        lodepng::State state;
        state.info_raw.colortype = LCT_RGB;
        state.info_raw.bitdepth = 8;
        state.info_png.color.colortype = LCT_RGB;
        state.info_png.color.bitdepth = 8;
        state.encoder.auto_convert = 0;
        state.encoder.filter_strategy = LFS_ONE;
        state.encoder.zlibsettings.custom_zlib = FastDeflate;
        std::vector<unsigned char> png;
        const unsigned error = lodepng::encode(png, job->rgb, job->width, job->height, state);
        if (error == 0 && lodepng::save_file(png, job->path) == 0)
            return true;
        std::fprintf(stderr, "velvet-cascade: cannot write %s: %s\n", job->path.c_str(),
                     error ? lodepng_error_text(error) : "the file could not be saved");
        return false;
    }

    // Waits for the write in flight; false when it failed.
    bool Finish()
    {
        if (!task)
            return true;
        while (!task->IsDone())
            QC_Sleep(1);
        const bool written = task->Result();
        task = nullptr;
        return written;
    }
};

// Seconds since start, finer than the millisecond timer: a small frame's stages take less.
double StageSeconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One frame as the main loop runs it, with the clock set to beat. False when the run channel
// ended the demo: nothing was drawn.
bool DrawFrame(OfflineRun& run, float beat)
{
    QC_GetTasks()->RunMainThreadTasks();
    QD_GetAssets()->Update();
    QD_GetSync()->UpdateAtMilliseconds(std::llround(static_cast<double>(beat) * kMillisecondsPerBeat));
    run.demo->UpdateStatistics();
    run.demo->Render();
    run.demo->EndFrame();
    return run.demo->IsRunning();
}

// Waits for the oldest read-back in flight and hands its picture to the sink's thread as the
// next frame. False when the sink has failed (it said why) or the read-back did.
bool DeliverOldestFrame(OfflineRun& run)
{
    const auto stage = std::chrono::steady_clock::now();
    QC_Image* picture = run.writer->Acquire();
    const double acquired = StageSeconds(stage);
    run.writeSeconds += acquired;
    if (!picture || !run.swapChain->CollectReadBack(*picture))
        return false;
    run.readBackSeconds += StageSeconds(stage) - acquired;
    run.writer->Submit(run.framesDelivered++);
    return true;
}

// Hands every read-back still in flight to the sink's thread, oldest first.
bool DeliverQueuedFrames(OfflineRun& run)
{
    while (run.swapChain->QueuedReadBacks() > 0)
        if (!DeliverOldestFrame(run))
            return false;
    return true;
}

// Draws frame and starts its read-back; the frame reaches the sink two frames later, when the
// ring of read-backs is full, so the rasteriser finishes it while the next ones are drawn.
// True with *ended set when the run channel ended the demo (nothing drawn); false when a frame
// could not be read back or handed on.
bool RenderFrame(OfflineRun& run, std::int64_t frame, float beat, bool* ended)
{
    const double cpuStart = ThreadCpuMilliseconds();
    const auto stage = std::chrono::steady_clock::now();
    if (!DrawFrame(run, beat)) {
        *ended = true;
        return true;
    }
    run.renderSeconds += StageSeconds(stage);
    if (run.renderOnly) {
        // As the live loop: the frame's commands go to the rasteriser now.
        run.swapChain->Present();
        return true;
    }
    const auto queued = std::chrono::steady_clock::now();
    if (!run.swapChain->QueueReadBack())
        return false;
    run.readBackSeconds += StageSeconds(queued);
    if (run.swapChain->QueuedReadBacks() == QR_SwapChain::kReadBackQueueDepth && !DeliverOldestFrame(run))
        return false;
    if (!run.table)
        return true;
    const double cpu = ThreadCpuMilliseconds() - cpuStart;
    std::fprintf(run.table, "%lld\t%.4f\t%d\t%d\t%.4f\t%d\t%.3f\n", static_cast<long long>(frame),
                 static_cast<double>(QD_GetSync()->GetBeat()), run.demo->CurrentScene(), run.demo->PreviousScene(),
                 static_cast<double>(run.demo->Fade()), run.demo->TrianglesLastFrame(), cpu);
    return true;
}

// --- the outputs -------------------------------------------------------------------------------

// DIR/frame_NNNNNN.png for each frame; the frame loop writes DIR/frames.tsv beside them.
class PngFolderSink final : public LM1_FrameSink
{
public:
    explicit PngFolderSink(OfflineRun& offlineRun) : run(offlineRun) {}

    bool Open() override
    {
        std::error_code error;
        std::filesystem::create_directories(run.line.folder, error);
        if (error || !std::filesystem::is_directory(run.line.folder)) {
            std::fprintf(stderr, "velvet-cascade: cannot create the folder %s\n", run.line.folder.c_str());
            return false;
        }
        return true;
    }

    // On the sink's thread. Two jobs: that thread fills one while a worker of the pool writes
    // the other.
    bool WriteFrame(std::int64_t frame, const QC_Image& picture) override
    {
        PngJob& job = jobs[frame % 2];
        if (!job.Finish())
            return false;
        job.width = picture.Width();
        job.height = picture.Height();
        const std::size_t pixels = static_cast<std::size_t>(job.width) * job.height;
        job.rgb.resize(pixels * 3);
        const auto* rgba = reinterpret_cast<const unsigned char*>(picture.Pixels());
        for (std::size_t i = 0; i < pixels; ++i)
            std::memcpy(&job.rgb[i * 3], &rgba[i * 4], 3);
        char name[32];
        std::snprintf(name, sizeof(name), "frame_%06lld.png", static_cast<long long>(frame));
        job.path = (std::filesystem::path(run.line.folder) / name).string();
        job.task = QC_GetTasks()->Run(QC_Bind(&PngJob::Write, &job));
        return true;
    }

    bool Finish() override
    {
        bool written = true;
        for (PngJob& job : jobs)
            written = job.Finish() && written;
        return written;
    }

    // A sink that goes without Finish (a failed frame) still waits for its writes: the jobs
    // are the workers' until then.
    ~PngFolderSink() override { Finish(); }

private:
    OfflineRun& run;
    PngJob jobs[2];
};

// The one line a video render ends with: what was made, how fast, and where the time went.
void ReportVideo(const OfflineRun& run, std::int64_t frames, double loopSeconds, double loadSeconds)
{
    const double videoSeconds = static_cast<double>(frames) / run.line.framesPerSecond;
    const double stages = run.renderSeconds + run.readBackSeconds + run.writeSeconds;
    auto percent = [stages](double part) { return stages > 0.0 ? 100.0 * part / stages : 0.0; };
    std::fprintf(stderr,
                 "velvet-cascade: %lld frames (%.2f s of video at %d fps) to %s, %.2f MiB, in %.2f s after %.1f s "
                 "of loading: %.3fx real time; rendering %.0f %%, read-back %.0f %%, encoding %.0f %%\n",
                 static_cast<long long>(frames), videoSeconds, run.line.framesPerSecond, run.line.folder.c_str(),
                 static_cast<double>(run.video->OutputBytes()) / (1024.0 * 1024.0), loopSeconds, loadSeconds,
                 loopSeconds > 0.0 ? videoSeconds / loopSeconds : 0.0, percent(run.renderSeconds),
                 percent(run.readBackSeconds), percent(run.writeSeconds));
}

// The one line a run without outputs ends with: the same figures as a capture's, to set beside
// them.
void ReportRenderOnly(const OfflineRun& run, std::int64_t frames, double loopSeconds, double loadSeconds)
{
    const double videoSeconds = static_cast<double>(frames) / run.line.framesPerSecond;
    std::fprintf(stderr,
                 "velvet-cascade: %lld frames (%.2f s of video at %d fps) drawn without read-back or output, in %.2f s "
                 "after %.1f s of loading: %.3fx real time\n",
                 static_cast<long long>(frames), videoSeconds, run.line.framesPerSecond, loopSeconds, loadSeconds,
                 loopSeconds > 0.0 ? videoSeconds / loopSeconds : 0.0);
}

// Conventional exit code of a job ended by a signal: a script can tell a stopped run from a
// finished one, though what was written is whole.
int StoppedExitCode()
{
    return 128 + QP_StopSignal();
}

const char* StopSignalName()
{
    return QP_StopSignal() == SIGINT ? "Ctrl-C" : "SIGTERM";
}

// --- the frame loop ----------------------------------------------------------------------------

// Frames before beat to: (to - from) x fps / 2 of them when that is whole.
std::int64_t FrameCount(const LM1_RenderOptions& line)
{
    if (!line.hasToBeat)
        return -1;
    const double frames = (static_cast<double>(line.toBeat) - line.fromBeat) * line.framesPerSecond / 2.0;
    return static_cast<std::int64_t>(std::ceil(frames - 1e-6));
}

int RenderFrames(OfflineRun& run, double startedAtMilliseconds, QC_Timer& sinceStart)
{
    const std::int64_t frameCount = FrameCount(run.line);
    if (!run.video && !run.renderOnly) {
        const std::string tablePath = (std::filesystem::path(run.line.folder) / "frames.tsv").string();
        run.table = std::fopen(tablePath.c_str(), "w");
        if (!run.table) {
            std::fprintf(stderr, "velvet-cascade: cannot write %s\n", tablePath.c_str());
            return kFailureExitCode;
        }
        std::fprintf(run.table, "frame\tbeat\tscene\tprevious\tfade\ttriangles\tcpu_ms\n");
    }
    // Without --to the music's length stands for the demo's, which the timeline decides.
    LM1_RenderProgress progress(frameCount >= 0 ? frameCount : (run.video ? run.video->FramesToMusicEnd() : 0),
                                QP_ErrorStreamIsTerminal(), QP_ErrorStreamColumns(80));
    if (!run.renderOnly)
        run.writer = std::make_unique<LM1_SinkThread>(*run.sink, static_cast<std::uint32_t>(run.line.width),
                                                      static_cast<std::uint32_t>(run.line.height), kSinkQueueDepth);
    const auto loopStart = std::chrono::steady_clock::now();
    bool stopped = false;
    std::int64_t frame = 0;
    double cpuTotal = 0.0;
    std::int64_t lastReport = -1000;
    std::int64_t firstFrameAt = -1;
    bool ended = false;
    int exitCode = 0;
    for (; frameCount < 0 || frame < frameCount; ++frame) {
        // Only here, between frames: the output then holds every frame up to the stop, whole.
        if (QP_StopRequested()) {
            stopped = true;
            break;
        }
        const float beat = static_cast<float>(run.line.fromBeat + static_cast<double>(frame) * 2.0 / run.line.framesPerSecond);
        const double cpuStart = ThreadCpuMilliseconds();
        if (!RenderFrame(run, frame, beat, &ended)) {
            exitCode = kFailureExitCode;
            break;
        }
        if (ended)
            break;
        cpuTotal += ThreadCpuMilliseconds() - cpuStart;
        const std::int64_t now = sinceStart.ElapsedMilliseconds();
        if (firstFrameAt < 0)
            firstFrameAt = now;
        if (run.video) {
            progress.Update(frame + 1, StageSeconds(loopStart));
        } else if (now - lastReport >= 1000) {
            lastReport = now;
            std::fprintf(stderr, "velvet-cascade: frame %lld, beat %.2f, scene %d\n", static_cast<long long>(frame),
                         static_cast<double>(beat), run.demo->CurrentScene());
        }
    }
    // The frames still in flight belong to the output too, whatever ended the loop but a failure.
    if (exitCode == 0 && !run.renderOnly && !DeliverQueuedFrames(run))
        exitCode = kFailureExitCode;
    // Without outputs, the last frame's drawing must still be waited for to be counted.
    if (run.renderOnly && frame > 0 && !run.swapChain->ReadBackBuffer(*run.backBuffer))
        exitCode = kFailureExitCode;
    progress.End();
    const double loopSeconds = StageSeconds(loopStart);
    if (run.renderOnly) {
        if (exitCode == 0)
            ReportRenderOnly(run, frame, loopSeconds, startedAtMilliseconds / 1000.0);
        return stopped && exitCode == 0 ? StoppedExitCode() : exitCode;
    }
    if (run.video && frame == 0 && exitCode == 0) {
        // A video without a frame plays nothing and some players refuse it: none is kept.
        if (stopped)
            std::fprintf(stderr, "velvet-cascade: stopped by %s before the first frame; no video was written\n",
                         StopSignalName());
        else
            std::fprintf(stderr, "velvet-cascade: the demo has ended by beat %.2f: no frame, so no video was written\n",
                         static_cast<double>(run.line.fromBeat));
        return stopped ? StoppedExitCode() : kFailureExitCode;
    }
    if (exitCode == 0 && !run.writer->Finish())
        exitCode = kFailureExitCode;
    if (stopped && exitCode == 0) {
        std::fprintf(stderr, "velvet-cascade: stopped by %s after %lld frames; %s holds them all%s\n", StopSignalName(),
                     static_cast<long long>(frame), run.line.folder.c_str(), run.video ? " and plays up to there" : "");
        exitCode = StoppedExitCode();
    }
    if (run.video) {
        if (exitCode != kFailureExitCode)
            ReportVideo(run, frame, loopSeconds, startedAtMilliseconds / 1000.0);
        return exitCode;
    }
    std::fclose(run.table);
    run.table = nullptr;
    const double seconds = static_cast<double>(sinceStart.ElapsedMilliseconds()) / 1000.0;
    std::fprintf(stderr,
                 "velvet-cascade: %lld frames to %s in %.1f s%s; assets loaded after %.0f ms, first frame "
                 "composed after %lld ms; %.2f ms of main-thread CPU a frame\n",
                 static_cast<long long>(frame), run.line.folder.c_str(), seconds, ended ? " (the demo ended)" : "",
                 startedAtMilliseconds, static_cast<long long>(firstFrameAt),
                 frame > 0 ? cpuTotal / static_cast<double>(frame) : 0.0);
    return exitCode;
}
} // namespace

int LM1_RunOfflineRender(const LM1_RenderOptions& line)
{
    OfflineRun run(line);
    // Before any output exists: without the data there is nothing to render, and nothing is
    // left behind.
    run.assetRoot = LM1_FindAssetFolder(line.assetFolder);
    if (run.assetRoot.empty())
        return kFailureExitCode;
    const char* renderOnly = std::getenv("VC_RENDER_ONLY");
    run.renderOnly = renderOnly && std::strcmp(renderOnly, "1") == 0;
    if (LM1_IsVideoOutput(line.folder)) {
        auto video = std::make_unique<LM1_VideoSink>(line, run.assetRoot + "music.ogg");
        run.video = video.get();
        run.sink = std::move(video);
    } else {
        run.sink = std::make_unique<PngFolderSink>(run);
    }
    // A stop from here on ends the run between frames (or during loading) with whole output.
    QP_CatchStopSignals();
    if (!run.renderOnly && !run.sink->Open())
        return kFailureExitCode;
    QC_Timer sinceStart;
    sinceStart.Start();
    StartSubsystems(run);
    run.demo = std::make_unique<LM1_Demo>();
    run.demo->Init(line.width, line.height);
    int exitCode = kFailureExitCode;
    if (WaitUntilLoaded(run))
        exitCode = RenderFrames(run, static_cast<double>(sinceStart.ElapsedMilliseconds()), sinceStart);
    else if (QP_StopRequested()) {
        std::fprintf(stderr, "velvet-cascade: stopped by %s while loading; no frame was written\n", StopSignalName());
        exitCode = StoppedExitCode();
    }
    // The sink's thread ends (after a failure, without writing what is queued) before the pool
    // and the renderer it may still reach.
    run.writer.reset();
    StopSubsystems(run);
    return exitCode;
}
