#pragma once
// Scenes o1 to o12 of part O (101 to 112): each scene's own objects, made by its set-up step
// at construction in scene order, and its frame.
//
//   LM1_OScenesA scenes(shared);         // requests every asset of o1-o12, builds the models
//   scenes.Render(104, sequencer);       // o4 into shared.target; nothing until its assets load
//
// Every frame follows from the channel values at the current time, except o12's text screen,
// which keeps its mutated characters from one step to the next.

#include "LM1_OShared.h"
#include "QD_Sequencer.h"
#include "QD_ShaderAsset.h"
#include "QD_TextAsset.h"
#include "QD_TextureAsset.h"
#include "QR_ConstantBuffer.h"

#include <cstdint>

class LM1_OScenesA
{
public:
    // o12's screen: 26 rows of 40 visible characters, each row closed by a line feed.
    static constexpr std::int32_t O12_COLUMNS = 40;
    static constexpr std::int32_t O12_ROWS = 26;
    static constexpr std::int32_t O12_ROW_STRIDE = O12_COLUMNS + 1;
    static constexpr std::int32_t O12_SCREEN_SIZE = O12_ROW_STRIDE * O12_ROWS;

    // Runs the set-up steps of o1 to o12 in order: constant buffers, asset requests, models.
    explicit LM1_OScenesA(LM1_OShared& part);
    ~LM1_OScenesA();
    LM1_OScenesA(const LM1_OScenesA&) = delete;
    LM1_OScenesA& operator=(const LM1_OScenesA&) = delete;

    // o12's screen starts from its text again when the scene is next entered.
    void SceneChanged() { o12Entry.changed = true; }

    // Draws scene 101 to 112 into the part's target. A scene with an asset missing draws nothing.
    void Render(std::int32_t scene, const QD_Sequencer& sequencer);

    // o12's screen as last drawn (NUL-terminated, O12_SCREEN_SIZE characters once set).
    const char* O12Screen() const { return o12Screen; }
    // o9's first pass: the gem drawn into a target of its own, read by the second pass.
    QR_RenderTarget* O9GemTarget() const { return o9Target.Get(); }
    // o4's palette pick: the six colours written for a channel 401 value (red, green, blue, 1).
    static void PickO4Colours(float seedChannel, QC_Float4 colours[6]);

private:
    void RenderO1(const QD_Sequencer& sequencer);
    void RenderO2(const QD_Sequencer& sequencer);
    void RenderO3(const QD_Sequencer& sequencer);
    void RenderO4(const QD_Sequencer& sequencer);
    void RenderO5(const QD_Sequencer& sequencer);
    void RenderLayeredTunnel(const QD_Sequencer& sequencer, std::int32_t firstChannel, QD_ShaderAsset& shader,
                             QD_TextureAsset& texture, QR_ConstantBuffer* constants, QM_Model* model,
                             QR_SamplerState* sampler);
    void RenderO7(const QD_Sequencer& sequencer);
    void RenderO8(const QD_Sequencer& sequencer);
    void RenderO9(const QD_Sequencer& sequencer);
    void RenderO11(const QD_Sequencer& sequencer);
    void RenderO12(const QD_Sequencer& sequencer);

    static void CheckO12TextSize(const QC_String& text, const char* name);
    void ResetO12Screen(const QC_String& text);
    void MutateO12Screen(const QD_Sequencer& sequencer);
    void PutO12RandomBlock(float size, float column, float row);
    void MaskO12Screen(const QC_String& mask);

    LM1_OShared& shared;
    // Linear filtering, wrapped: for the scenes whose sampler is theirs to choose.
    QC_Ptr<QR_SamplerState> smoothSampler;

    QC_Ptr<QR_ConstantBuffer> o1Constants;
    QC_Ptr<QD_ShaderAsset> o1Shader;
    QC_Ptr<QM_Model> o1Model;

    QC_Ptr<QR_ConstantBuffer> o2Constants;
    QC_Ptr<QD_ShaderAsset> o2Shader;
    QC_Ptr<QD_TextureAsset> o2Texture;

    QC_Ptr<QR_ConstantBuffer> o3Constants;
    QC_Ptr<QD_ShaderAsset> o3Shader;
    QC_Ptr<QD_TextureAsset> o3Pictures[4];
    QC_Ptr<QD_TextureAsset> o3Dissolve;

    QC_Ptr<QR_ConstantBuffer> o4Constants;
    QC_Ptr<QD_ShaderAsset> o4Shader;

    QC_Ptr<QR_ConstantBuffer> o5Constants;
    QC_Ptr<QD_ShaderAsset> o5Shader;
    QC_Ptr<QD_TextureAsset> o5Texture;
    QC_Ptr<QM_Model> o5Model;
    QC_Ptr<QR_SamplerState> o5Sampler;

    QC_Ptr<QR_ConstantBuffer> o6Constants;
    QC_Ptr<QD_ShaderAsset> o6Shader;
    QC_Ptr<QD_TextureAsset> o6Texture;
    QC_Ptr<QM_Model> o6Model;

    QC_Ptr<QR_ConstantBuffer> o7Constants;
    QC_Ptr<QD_ShaderAsset> o7Shader;
    QC_Ptr<QD_TextureAsset> o7Texture;
    QC_Ptr<QM_Model> o7Model;

    QC_Ptr<QR_ConstantBuffer> o8Constants;
    QC_Ptr<QD_ShaderAsset> o8Shader;
    QC_Ptr<QD_TextureAsset> o8Texture;
    QC_Ptr<QM_Model> o8Model;
    QC_Ptr<QR_SamplerState> o8Sampler;

    QC_Ptr<QR_ConstantBuffer> o9Constants;
    QC_Ptr<QD_ShaderAsset> o9GemShader;
    QC_Ptr<QD_ShaderAsset> o9KaleidoscopeShader;
    QC_Ptr<QM_Model> o9Model;
    QC_Ptr<QR_RenderTarget> o9Target;

    QC_Ptr<QR_ConstantBuffer> o10Constants;
    QC_Ptr<QD_ShaderAsset> o10Shader;
    QC_Ptr<QD_TextureAsset> o10Texture;

    QC_Ptr<QR_ConstantBuffer> o11Constants;
    QC_Ptr<QD_ShaderAsset> o11CubeShader;
    QC_Ptr<QD_ShaderAsset> o11OverlayShader;
    QC_Ptr<QD_TextureAsset> o11CubeTexture;
    QC_Ptr<QD_TextureAsset> o11OverlayTexture;
    QC_Ptr<QR_RasteriserState> o11Rasteriser;

    QC_Ptr<QR_ConstantBuffer> o12Constants;
    QC_Ptr<QD_ShaderAsset> o12Shader;
    QC_Ptr<QD_TextureAsset> o12Texture;
    QC_Ptr<QD_TextAsset> o12Text;
    QC_Ptr<QD_TextAsset> o12Mask;
    char o12Screen[O12_SCREEN_SIZE + 1] = {};
    // The text the screen was last reset from: a reloaded text starts the screen over.
    QC_Ptr<QD_Text> o12ScreenSource;
    QC_Ptr<QD_Text> o12MaskSource;
    std::int32_t o12LastStep = 0;
    LM1_SceneEntry o12Entry;
};
