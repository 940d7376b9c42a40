// Asset loading: the time from the first request to AllLoaded, with the pool at one worker per
// processor against a single worker. At start it writes 50 PNG pictures (256x256, noisy so the
// decoder has work) and 40 shader sources (both stages in one file, each a little different)
// into a folder under /tmp; the renderer runs on the headless device.
//
//   AssetsTexturesAndShaders/W   50 textures + 40 shaders with W workers (0 = one per processor)
//   AssetsTextures/W             the 50 textures only (PNG decode on the workers, upload on main)
//   AssetsShaders/W              the 40 shaders only (read on the workers, compiled on main)
//
// Each iteration creates the pool and the manager, requests everything, runs frames until
// AllLoaded, and destroys both; only the requests and the frames are timed. A frame is what the
// main loop does for assets (RunMainThreadTasks, Update) followed by a 1 ms sleep that stands in
// for the rest of the frame: the main thread then leaves the cores to the workers, as it does
// while it waits for the present.

#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QR_Renderer.h"

#include <benchmark/benchmark.h>
#include <lodepng.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int kTextures = 50;
constexpr int kShaders = 40;
constexpr unsigned kSide = 256;

std::string ShaderSource(int index)
{
    char constant[64];
    std::snprintf(constant, sizeof(constant), "%d.0 / 64.0", index % 64);
    return std::string(R"(samplers
{
  QR_Sampler2D picture;
}
vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
    outColour = inColour;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour, out QR_Target outColour)
  {
    float4 c = QR_Sample(picture, inTexCoord)
    outColour = c * inColour + float4()") +
           constant + ", 0, 0, 0);\n  }\n}\n";
}

// The folder with every file, written once per process.
const std::string& AssetFolder()
{
    static std::string folder;
    if (!folder.empty())
        return folder;
    folder = "/tmp/vc-bench-assets-" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(folder);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    std::uint32_t noise = 12345;
    std::vector<unsigned char> rgba(kSide * kSide * 4);
    for (int t = 0; t < kTextures; ++t) {
        for (std::size_t i = 0; i < rgba.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            // Smooth gradient plus a little noise: compresses like a real picture, not like noise.
            rgba[i] = static_cast<unsigned char>(((i / 4) % kSide + t * 5) + ((noise >> 28) & 7));
        }
        unsigned char* png = nullptr;
        std::size_t size = 0;
        if (lodepng_encode32(&png, &size, rgba.data(), kSide, kSide) != 0)
            std::abort();
        std::ofstream(folder + "t" + std::to_string(t) + ".png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png), static_cast<std::streamsize>(size));
        std::free(png);
    }
    for (int s = 0; s < kShaders; ++s)
        std::ofstream(folder + "s" + std::to_string(s) + ".qcs", std::ios::binary) << ShaderSource(s);
    return folder;
}

void StartRenderer()
{
    if (QR_GetRenderer())
        return;
    QC_CreateLog(QC_LogConfig{});
    QR_RendererSettings settings;
    settings.backend = QR_Backend::DX10;
    settings.headless = true;
    QR_CreateRenderer(settings);
}

void LoadAll(benchmark::State& state, bool textures, bool shaders)
{
    StartRenderer();
    const std::string& folder = AssetFolder();
    const std::uint32_t workers = state.range(0) == 0 ? QC_GetProcessorCount() : std::uint32_t(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QC_CreateTasks(QC_TasksConfig{.workerCount = workers});
        QD_CreateAssets(QD_AssetsSettings{.root = folder.c_str(), .watch = false, .fatalOnLoadFailure = true});
        state.ResumeTiming();

        std::vector<QC_Ptr<QD_Asset>> requested;
        if (textures)
            for (int t = 0; t < kTextures; ++t)
                requested.emplace_back(QD_GetAssets()->LoadTexture(("t" + std::to_string(t) + ".png").c_str()));
        if (shaders)
            for (int s = 0; s < kShaders; ++s)
                requested.emplace_back(QD_GetAssets()->LoadShader(("s" + std::to_string(s) + ".qcs").c_str()));
        while (!QD_GetAssets()->AllLoaded()) {
            QC_GetTasks()->RunMainThreadTasks();
            QD_GetAssets()->Update();
            QC_Sleep(1);
        }

        state.PauseTiming();
        requested.clear();
        QD_DestroyAssets();
        QC_DestroyTasks();
        state.ResumeTiming();
    }
    state.counters["workers"] = workers;
}

void AssetsTexturesAndShaders(benchmark::State& state)
{
    LoadAll(state, true, true);
}
void AssetsTextures(benchmark::State& state)
{
    LoadAll(state, true, false);
}
void AssetsShaders(benchmark::State& state)
{
    LoadAll(state, false, true);
}
} // namespace

BENCHMARK(AssetsTexturesAndShaders)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(AssetsTextures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(AssetsShaders)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
