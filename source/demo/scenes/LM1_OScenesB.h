#pragma once
// Scenes o13 to o24 of part O (113 to 124): each scene's own objects, made by its set-up step
// at construction in scene order, and its frame.
//
//   LM1_OScenesB scenes(shared);         // requests every asset of o13-o24, builds the models
//   scenes.Render(121, sequencer);       // o21 into shared.target; nothing until its assets load
//
// Every frame follows from the channel values at the current time, except o14's noise screen,
// which keeps its random characters until channel 1408's integer part changes.

#include "LM1_OShared.h"
#include "QD_Sequencer.h"
#include "QD_ShaderAsset.h"
#include "QD_TextAsset.h"
#include "QD_TextureAsset.h"
#include "QR_ConstantBuffer.h"

#include <cstdint>

class LM1_OScenesB
{
public:
    // o14's screen holds at most this many characters; a longer text is masked up to here only.
    static constexpr std::uint32_t O14_SCREEN_CAPACITY = 4096;
    // Layer and instance counts come from channels; these bound what one frame may draw.
    static constexpr std::int32_t MAX_LAYERS = 64;
    static constexpr std::int32_t MAX_INSTANCES = 4096;
    // o16 draws at most two rows of four copies.
    static constexpr std::int32_t O16_MAX_COPIES = 8;

    // Runs the set-up steps of o13 to o24 in order (o19 has none of its own): constant buffers,
    // asset requests, models.
    explicit LM1_OScenesB(LM1_OShared& part);
    ~LM1_OScenesB();
    LM1_OScenesB(const LM1_OScenesB&) = delete;
    LM1_OScenesB& operator=(const LM1_OScenesB&) = delete;

    // o14's noise screen is built anew when the scene is next entered.
    void SceneChanged() { o14Entry.changed = true; }

    // Draws scene 113 to 124 into the part's target. A scene with an asset missing draws nothing.
    void Render(std::int32_t scene, const QD_Sequencer& sequencer);

    // o14's screen as last built (NUL-terminated) and how often it has been built.
    const char* O14Screen() const { return o14Screen; }
    std::uint32_t O14Builds() const { return o14Builds; }
    // Rebuilds o14's screen from text when step's integer part differs from the last one built
    // (or the text is another one); true when it did.
    bool UpdateO14Screen(float step, const QC_Ptr<QD_Text>& text);

    // o21's colour table (red, green, blue, alpha), 13 entries.
    static const QC_Float4 O21_COLOURS[13];

private:
    void RenderO13(const QD_Sequencer& sequencer);
    void RenderO14(const QD_Sequencer& sequencer);
    void RenderLayers(const QD_Sequencer& sequencer, std::int32_t firstChannel, QD_ShaderAsset& shader,
                      QD_TextureAsset& texture, QR_ConstantBuffer* constants, QM_Model* model);
    void RenderO16(const QD_Sequencer& sequencer);
    void RenderO17(const QD_Sequencer& sequencer);
    void RenderO18(const QD_Sequencer& sequencer);
    void RenderO19(const QD_Sequencer& sequencer);
    void RenderO21(const QD_Sequencer& sequencer);
    void RenderO22(const QD_Sequencer& sequencer);
    void RenderO23(const QD_Sequencer& sequencer);
    void RenderO24(const QD_Sequencer& sequencer);

    // The title picture centred on a clear colour: o13 (black) and o19 (from channels).
    void RenderTitle(QR_Colour clearColour);
    std::int32_t TargetWidth() const;
    std::int32_t TargetHeight() const;

    LM1_OShared& shared;

    QC_Ptr<QD_ShaderAsset> o13Shader;
    QC_Ptr<QD_TextureAsset> o13Picture;

    QC_Ptr<QD_TextAsset> o14Text;
    char o14Screen[O14_SCREEN_CAPACITY + 1] = {};
    // The text the screen was built from: a reloaded text is masked anew at once.
    QC_Ptr<QD_Text> o14ScreenSource;
    std::int32_t o14LastStep = 0;
    LM1_SceneEntry o14Entry;
    std::uint32_t o14Builds = 0;

    QC_Ptr<QR_ConstantBuffer> o15Constants;
    QC_Ptr<QD_ShaderAsset> o15Shader;
    QC_Ptr<QD_TextureAsset> o15Texture;

    QC_Ptr<QR_ConstantBuffer> o16Constants;
    QC_Ptr<QD_ShaderAsset> o16Shader;
    QC_Ptr<QD_TextureAsset> o16Picture;

    QC_Ptr<QD_TextAsset> o17Text;

    QC_Ptr<QR_ConstantBuffer> o18Constants;
    QC_Ptr<QD_ShaderAsset> o18PatternShader;
    QC_Ptr<QD_ShaderAsset> o18PictureShader;
    QC_Ptr<QD_TextureAsset> o18Picture;

    QC_Ptr<QR_ConstantBuffer> o20Constants;
    QC_Ptr<QD_ShaderAsset> o20Shader;
    QC_Ptr<QD_TextureAsset> o20Texture;
    QC_Ptr<QM_Model> o20Model;

    QC_Ptr<QR_ConstantBuffer> o21Constants;
    QC_Ptr<QD_ShaderAsset> o21Shader;
    QC_Ptr<QM_Model> o21Model;

    QC_Ptr<QR_ConstantBuffer> o22Constants;
    QC_Ptr<QD_ShaderAsset> o22Shader;
    QC_Ptr<QD_TextureAsset> o22Texture;
    QC_Ptr<QM_Model> o22Model;
    QC_Ptr<QR_RasteriserState> o22Rasteriser;

    QC_Ptr<QR_ConstantBuffer> o23Constants;
    QC_Ptr<QD_ShaderAsset> o23Shader;

    QC_Ptr<QR_ConstantBuffer> o24Constants;
    QC_Ptr<QD_ShaderAsset> o24Shader;
    QC_Ptr<QD_TextureAsset> o24Picture;
    QC_Ptr<QD_TextureAsset> o24Surface;
    QC_Ptr<QM_Model> o24Plane;
};
