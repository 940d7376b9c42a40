#pragma once
// Shared by the tests of part O's two scene sets: the part's shared objects built as the part
// builds them, a scene set over them, drawing a scene into a target of the screen's size, and
// the checks both sets make of the demo's own shaders and scenes.
//
//   class LM1_MyScenesTest : public LM1_OScenesTest<LM1_OScenesA> {};
//   TEST_F(LM1_MyScenesTest, ...)
//   {
//       CopyAsset("o1.qcs");
//       dir.Write("o.qcs", "100 = 1;");
//       StartSceneSet(dir.Path().string(), DemoRuntimeOptions());
//       ASSERT_TRUE(PumpUntilLoaded());
//       Draw(101);
//   }

#include "support/DemoTestSupport.h"
#include "LM1_O.h"
#include "LM1_SceneKit.h"
#include "QD_SequencerAsset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace oscenes
{
inline std::string ReadFile(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

inline bool SamePixel(const QrPixel& a, const QrPixel& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Distinct colours in a picture, counted up to a small limit.
inline std::size_t DistinctColours(const QC_Image& image, std::size_t limit = 64)
{
    std::set<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < image.Width() * image.Height() && colours.size() < limit; ++i)
        colours.insert(image.Pixels()[i]);
    return colours.size();
}

// Mean absolute difference of two pictures' colour bytes, 0 to 255.
inline double MeanDifference(const QC_Image& a, const QC_Image& b)
{
    const auto* pa = reinterpret_cast<const std::uint8_t*>(a.Pixels());
    const auto* pb = reinterpret_cast<const std::uint8_t*>(b.Pixels());
    const std::size_t bytes = std::size_t(a.Width()) * a.Height() * 4;
    double sum = 0.0;
    for (std::size_t i = 0; i < bytes; ++i)
        sum += std::abs(int(pa[i]) - int(pb[i]));
    return sum / double(bytes);
}
} // namespace oscenes

using oscenes::DistinctColours;
using oscenes::MeanDifference;
using oscenes::ReadFile;
using oscenes::SamePixel;

// Scenes is the scene set under test, built over the part's shared objects from the script
// o.qcs of the asset root.
template <class Scenes>
class LM1_OScenesTest : public LM1_DemoRuntimeTest
{
protected:
    void TearDown() override
    {
        scenes.reset();
        shared = LM1_OShared();
        target = nullptr;
        script = nullptr;
        extraScripts.clear();
        LM1_DemoRuntimeTest::TearDown();
    }

    // Copies one of the demo's own files into the test's folder.
    void CopyAsset(const std::string& name)
    {
        std::filesystem::copy_file(std::string(VC_SOURCE_DIR "/assets/") + name, dir.File(name),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Brings up the runtime on root, starts loading o.qcs and builds the part's shared objects
    // as the part does, then the scene set over them. Waiting for the assets is the caller's.
    void StartSceneSet(const std::string& root, const DemoRuntimeOptions& options)
    {
        StartRuntime(root, options);
        script = QD_GetAssets()->LoadSequencer("o.qcs");
        target = renderer->CreateRenderTarget(width, height);
        shared.width = static_cast<std::int32_t>(width);
        shared.height = static_cast<std::int32_t>(height);
        shared.quad = QC_Ptr<QM_Quad>(new QM_Quad);
        shared.quad->Init();
        shared.depthStencil = LM1_CreateDepthStencilState(false);
        shared.rasteriser = LM1_CreateRasteriserState(QR_CullMode::Back, QR_FillMode::Solid, false);
        shared.sampler = LM1_CreateSamplerState(QR_Filter::Point, QR_TextureAddress::Clamp,
                                                QR_TextureAddress::Clamp, QR_TextureAddress::Clamp);
        shared.opaqueBlend = LM1_CreateBlendState(false);
        shared.alphaBlend = LM1_CreateBlendState(true);
        shared.cube = LM1_CreateBoxModel(1, 1, 1);
        scenes = std::make_unique<Scenes>(shared);
    }

    // Writes a script into the folder, loads it and waits for it.
    QC_Ptr<QD_Sequencer> LoadScript(const std::string& name, const std::string& text)
    {
        dir.Write(name, text);
        QC_Ptr<QD_SequencerAsset> asset = QD_GetAssets()->LoadSequencer(name.c_str());
        extraScripts.push_back(asset);
        EXPECT_TRUE(PumpUntil([&asset] { return bool(asset->GetCurrent()); })) << log.Errors();
        return asset->GetCurrent();
    }

    // One frame of scene into the target, from sequencer or else the folder's o.qcs.
    void Draw(std::int32_t scene, const QD_Sequencer* sequencer = nullptr)
    {
        shared.target = target;
        shared.aspect = static_cast<float>(width) / static_cast<float>(height);
        scenes->Render(scene, sequencer ? *sequencer : *script->GetCurrent());
    }

    // Every named shader of assets/ compiles in both stages without an error in the log.
    template <class Names>
    void ExpectShadersCompileWithoutAMessage(const Names& names)
    {
        StartRuntime(dir.Path().string(), DemoRuntimeOptions{.draw2D = false});
        for (const char* name : names) {
            const QC_String source(ReadFile(std::string(VC_SOURCE_DIR "/assets/") + name).c_str());
            EXPECT_TRUE(renderer->CreateVertexShader(source)) << name << "\n" << log.Errors();
            EXPECT_TRUE(renderer->CreatePixelShader(source)) << name << "\n" << log.Errors();
            EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << name << "\n" << log.Errors();
            log.Clear();
        }
    }

    // With the scene set started on the demo's own files: each scene at its beat draws a picture
    // of many colours (written as oN<pngSuffix> for a human), unlike every scene before it, and
    // one that changes over the next beat unless the scene is among stillScenes.
    template <class ScenesAndBeats>
    void ExpectMovingPicturesOfTheirOwn(const ScenesAndBeats& scenesAndBeats, const std::string& pngSuffix,
                                        const std::set<std::int32_t>& stillScenes = {})
    {
        std::vector<QC_Ptr<QC_Image>> middles;
        for (const auto& [scene, beat] : scenesAndBeats) {
            SetBeat(beat);
            Draw(scene);
            QC_Ptr<QC_Image> middle = ReadTarget(target.Get());
            WritePng(*middle, std::string(VC_BINARY_DIR "/o") + std::to_string(scene - 100) + pngSuffix);
            EXPECT_GT(DistinctColours(*middle), 16u) << "scene " << scene << " is nearly flat";
            if (!stillScenes.count(scene)) {
                SetBeat(beat + 1.0f);
                Draw(scene);
                QC_Ptr<QC_Image> next = ReadTarget(target.Get());
                EXPECT_GT(MeanDifference(*middle, *next), 0.5) << "scene " << scene << " stands still over a beat";
            }
            for (std::size_t other = 0; other < middles.size(); ++other)
                EXPECT_GT(MeanDifference(*middle, *middles[other]), 3.0)
                    << "scene " << scene << " looks like scene " << std::begin(scenesAndBeats)[other].first;
            middles.push_back(middle);
        }
        EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
    }

    LM1_OShared shared;
    std::unique_ptr<Scenes> scenes;
    QC_Ptr<QR_RenderTarget> target;
    QC_Ptr<QD_SequencerAsset> script;
    std::vector<QC_Ptr<QD_SequencerAsset>> extraScripts;
};
