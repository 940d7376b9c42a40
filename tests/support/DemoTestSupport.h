#pragma once
// Shared by the demo suite and the scene tests: the demo's subsystems on the headless device,
// started around a test's own asset folder.
//
//   class LM1_MySceneTest : public LM1_DemoRuntimeTest {};
//   TEST_F(LM1_MySceneTest, DrawsItsColour)
//   {
//       StartRuntime(VC_SOURCE_DIR "/assets");          // or a TempDir with the test's files
//       QC_Ptr<QD_SequencerAsset> script = QD_GetAssets()->LoadSequencer("t.qcs");
//       ASSERT_TRUE(PumpUntilLoaded());
//       SetBeat(432.0f);                                 // the sequencer's song position
//       ...draw into a target...
//       QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
//       WritePng(*picture, VC_BINARY_DIR "/t1.png");      // for a human to look at
//   }
//
// What StartRuntime brings up, in the demo's order: a log whose lines the test reads back
// (loaders report from worker threads, so it locks), the renderer on the headless device (the
// GL driver pinned for the leak suppressions), a swap chain without a window bound with a
// viewport over all of it, a task pool of two workers, a BPM sync at 120, the audio device
// (on SDL's dummy driver) when asked for, the asset manager on the given root with
// load failures not fatal, and the 2D kit. TearDown takes it all down in reverse.

#include "LM1_Draw2D.h"
#include "support/QR_RendererTestSupport.h"
#include "QA_Audio.h"
#include "QC_Image.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"
#include "QM_Quad.h"
#include "QR_Renderer.h"
#include "support/FramePump.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The vertex stage of a full-screen pass: position and texture coordinate straight through.
// Macros, so that a test's shader text stays one string literal.
#define DEMO_PASS_THROUGH_VERTEX \
    "vertex\n" \
    "{\n" \
    "  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Position outPosition, out QR_TexCoord0 outTexCoord)\n" \
    "  {\n" \
    "    outPosition = inPosition;\n" \
    "    outTexCoord = inTexCoord;\n" \
    "  }\n" \
    "}\n"

// What the demo's composition shader declares (its constants and the previous and current
// scenes' and the vignette's samplers) and a pass-through vertex stage; a test adds the pixel
// stage.
#define DEMO_COMPOSITION_INTERFACE \
    "constants\n" \
    "{\n" \
    "  composition\n" \
    "  {\n" \
    "    float4 fade;\n" \
    "    float time;\n" \
    "    float3 noise;\n" \
    "  }\n" \
    "}\n" \
    "samplers\n" \
    "{\n" \
    "  QR_Sampler2D previous;\n" \
    "  QR_Sampler2D current;\n" \
    "  QR_Sampler2D vignette;\n" \
    "}\n" \
    DEMO_PASS_THROUGH_VERTEX

// Every log line of the test, kept in order; safe from any thread.
class DemoLog
{
public:
    struct Line
    {
        int level;
        std::string message;
        std::string file;
    };

    void Start() { QC_CreateLog(QC_LogConfig{})->AddBackend(new Backend(this)); }

    std::vector<std::string> Messages(int level) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> found;
        for (const Line& line : lines)
            if (line.level >= level)
                found.push_back(line.message);
        return found;
    }
    // Errors and fatal lines so far, one per line, for a failure message.
    std::string Errors() const
    {
        std::string text;
        for (const std::string& message : Messages(QC_LOG_ERROR))
            text += message + "\n";
        return text;
    }
    bool Contains(int level, const std::string& part) const
    {
        for (const std::string& message : Messages(level))
            if (message.find(part) != std::string::npos)
                return true;
        return false;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        lines.clear();
    }

private:
    class Backend : public QC_LogBackend
    {
    public:
        explicit Backend(DemoLog* owner) : log(owner) {}
        void Write(int level, std::uint32_t, const char* message, const char* file, int) override
        {
            std::lock_guard<std::mutex> lock(log->mutex);
            log->lines.push_back({level, message, file ? file : ""});
        }

    private:
        DemoLog* log;
    };

    mutable std::mutex mutex;
    std::vector<Line> lines;
};

struct DemoRuntimeOptions
{
    std::uint32_t width = 160;
    std::uint32_t height = 90;
    // The sound assets need the audio device; it opens on SDL's dummy driver and plays nothing.
    bool audio = false;
    // Play does something only on an enabled device (the dummy driver still plays nothing).
    bool audioEnabled = false;
    bool draw2D = true;
};

class LM1_DemoRuntimeTest : public ::testing::Test
{
protected:
    void TearDown() override { StopRuntime(); }

    void StartRuntime(const std::string& root, const DemoRuntimeOptions& options = DemoRuntimeOptions())
    {
        ASSERT_FALSE(started) << "the runtime is started once per test";
        started = true;
        width = options.width;
        height = options.height;
        log.Start();
        QR_RendererSettings settings;
        settings.backend = QR_Backend::DX10;
        settings.headless = true;
        QrCreateRenderer(settings);
        renderer = QR_GetRenderer();
        ASSERT_NE(renderer, nullptr);
        swapChain = renderer->CreateSwapChain(width, height);
        context = renderer->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
        QC_CreateTasks(QC_TasksConfig{.workerCount = 2});
        QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
        if (options.audio) {
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            QA_CreateAudio(QA_AudioSettings{.enabled = options.audioEnabled});
            audioStarted = true;
        }
        QD_AssetsSettings assetSettings;
        assetSettings.root = root.c_str();
        assetSettings.watch = false;
        assetSettings.fatalOnLoadFailure = false;
        QD_CreateAssets(assetSettings);
        if (options.draw2D) {
            LM1_InitDraw2D();
            draw2DStarted = true;
        }
    }

    void StopRuntime()
    {
        if (!started)
            return;
        started = false;
        copyState = nullptr;
        copySampler = nullptr;
        copyQuad = nullptr;
        copyBlend = nullptr;
        copyRasteriser = nullptr;
        copyDepth = nullptr;
        if (draw2DStarted)
            LM1_ReleaseDraw2D();
        draw2DStarted = false;
        QD_DestroyAssets();
        if (audioStarted)
            QA_DestroyAudio();
        audioStarted = false;
        QD_DestroySync();
        QC_DestroyTasks();
        context = nullptr;
        swapChain = nullptr;
        QR_DestroyRenderer();
        renderer = nullptr;
        QC_DestroyLog();
    }

    // Runs frames until every requested asset has loaded; false (the log says why) otherwise.
    // An asset that fails leaves the others loading: once an error is logged the pump gives up
    // after a short grace instead of waiting out the time-out.
    bool PumpUntilLoaded(std::chrono::seconds timeout = std::chrono::seconds(60))
    {
        auto giveUpAt = std::chrono::steady_clock::time_point::max();
        const bool loaded = PumpUntil(
            [this, &giveUpAt] {
                if (QD_GetAssets()->AllLoaded())
                    return true;
                if (giveUpAt == std::chrono::steady_clock::time_point::max() && !log.Messages(QC_LOG_ERROR).empty())
                    giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                return std::chrono::steady_clock::now() > giveUpAt;
            },
            timeout);
        if (loaded && !QD_GetAssets()->AllLoaded()) {
            ADD_FAILURE() << "assets failed to load; errors:\n" << log.Errors();
            return false;
        }
        if (!loaded)
            ADD_FAILURE() << "assets still loading after " << timeout.count() << " s; errors:\n" << log.Errors();
        return loaded;
    }

    // Moves the song position to beat and broadcasts it to every sequencer channel, as the
    // sync's Update does at the tempo of 120 (500 ms a beat).
    static void SetBeat(float beat)
    {
        QD_GetSync()->UpdateAtMilliseconds(static_cast<std::int64_t>(std::llround(double(beat) * 500.0)));
    }

    // A sequencer from script text, subscribed to the sync so SetBeat moves it; null with a test
    // failure when the text does not parse.
    QC_Ptr<QD_Sequencer> Script(const std::string& text)
    {
        QC_Ptr<QD_Sequencer> sequencer;
        EXPECT_TRUE(QD_ParseSequencerText(text.c_str(), static_cast<std::uint32_t>(text.size()), sequencer))
            << log.Errors();
        if (sequencer)
            sequencer->SubscribeChannels();
        return sequencer;
    }

    // The back buffer as it stands (row 0 at the top).
    QC_Ptr<QC_Image> ReadBackBuffer()
    {
        QC_Ptr<QC_Image> image(new QC_Image(width, height));
        EXPECT_TRUE(swapChain->ReadBackBuffer(*image));
        return image;
    }

    // A render target's picture: its texture copied one texel to one pixel onto the back buffer
    // (which must be the target's size), then read back. Leaves the swap chain bound as output
    // with blending off, no culling and no depth test.
    QC_Ptr<QC_Image> ReadTarget(QR_RenderTarget* target)
    {
        if (!target || !target->Texture()) {
            ADD_FAILURE() << "no target to read";
            return QC_Ptr<QC_Image>(new QC_Image(width, height));
        }
        EXPECT_EQ(target->Texture()->Width(), width);
        EXPECT_EQ(target->Texture()->Height(), height);
        if (!copyState)
            BuildCopy();
        context->SetRenderTarget(nullptr);
        context->SetBlendState(copyBlend.Get());
        context->SetRasteriserState(copyRasteriser.Get());
        context->SetDepthStencilState(copyDepth.Get());
        context->Clear(QR_Colour{255, 0, 255, 255});
        copyState->SetTexture(target->Texture(), 0);
        copyQuad->SetShaderState(copyState.Get());
        copyQuad->Draw();
        copyState->SetTexture(nullptr, 0);
        return ReadBackBuffer();
    }

    // One pixel as bytes R, G, B, A.
    static QrPixel PixelAt(const QC_Image& image, std::uint32_t x, std::uint32_t y)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(image.Pixels()) + (std::size_t(y) * image.Width() + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }

    // Writes the picture as an RGBA PNG for a human to look at; false with a test failure when
    // it cannot be written.
    static bool WritePng(const QC_Image& image, const std::string& path)
    {
        const unsigned error = lodepng::encode(path, reinterpret_cast<const unsigned char*>(image.Pixels()),
                                               image.Width(), image.Height());
        if (error != 0)
            ADD_FAILURE() << "cannot write " << path << ": " << lodepng_error_text(error);
        return error == 0;
    }

    DemoLog log;
    TempDir dir;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    QR_Renderer* renderer = nullptr;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;

private:
    // A pass-through of texture slot 0 with a point sampler: the copy neither filters nor mixes.
    void BuildCopy()
    {
        static const char* const copySource = R"(samplers
{
  QR_Sampler2D picture;
}
)" DEMO_PASS_THROUGH_VERTEX R"(pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    outColour = QR_Sample(picture, inTexCoord)
  }
}
)";
        const QC_StaticString<4096> source(copySource);
        QC_Ptr<QR_VertexShader> vertexShader = renderer->CreateVertexShader(source);
        QC_Ptr<QR_PixelShader> pixelShader = renderer->CreatePixelShader(source);
        ASSERT_TRUE(vertexShader && pixelShader) << log.Errors();
        copyState = renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
        QR_SamplerDesc point = {};
        point.filter = QR_Filter::Point;
        point.addressU = point.addressV = point.addressW = QR_TextureAddress::Clamp;
        point.maxAnisotropy = 1;
        point.comparisonFunc = QR_ComparisonFunc::Never;
        point.maxLod = 3.402823466e38f;
        copySampler = renderer->CreateSamplerState(point);
        copyState->SetSamplerState(copySampler.Get(), 0);
        copyQuad = QC_Ptr<QM_Quad>(new QM_Quad);
        copyQuad->Init();
        QR_BlendDesc opaque = {};
        for (QR_RenderTargetBlendDesc& slot : opaque.renderTargets) {
            slot.srcBlend = slot.srcBlendAlpha = QR_Blend::One;
            slot.destBlend = slot.destBlendAlpha = QR_Blend::Zero;
            slot.blendOp = slot.blendOpAlpha = QR_BlendOp::Add;
            slot.writeMask = 0; // all four channels
        }
        copyBlend = renderer->CreateBlendState(opaque);
        copyRasteriser = QrNoCullRasteriser(renderer);
        copyDepth = QrNoDepthState(renderer);
    }

    bool started = false;
    bool audioStarted = false;
    bool draw2DStarted = false;
    QC_Ptr<QR_ShaderState> copyState;
    QC_Ptr<QR_SamplerState> copySampler;
    QC_Ptr<QM_Quad> copyQuad;
    QC_Ptr<QR_BlendState> copyBlend;
    QC_Ptr<QR_RasteriserState> copyRasteriser;
    QC_Ptr<QR_DepthStencilState> copyDepth;
};
