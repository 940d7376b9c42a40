#pragma once
// What the workbench draws over the picture: the statistics panel (F1) at the top left and, at
// the bottom, the load errors of every asset whose last load failed (file name, then the
// parser's or compiler's lines), in the statistics font with QU_Canvas.
//
//   LM1_DevOverlay overlay;                                     // after renderer and fonts
//   std::string stats = LM1_DevOverlay::StatisticsText(figures);
//   std::string errors = LM1_DevOverlay::ErrorText(QD_GetAssets()->GetAssets());
//   overlay.Draw(font, width, height, stats, errors);            // onto the back buffer
//
// The texts are built apart from the drawing so they can be checked without a GPU. Errors are
// always drawn; they go once the file loads again.

#include "QC_Ptr.h"
#include "QD_Asset.h"
#include "QU_Canvas.h"

#include <cstdint>
#include <string>
#include <vector>

class QU_Font;

struct LM1_DevStatistics
{
    float beat = 0.0f;
    std::int32_t scene = -1;
    float fade = 0.0f;
    std::int32_t framesPerSecond = 0;
    std::int32_t triangles = 0;
    double cpuMilliseconds = 0.0;
    std::uint32_t assetsLoading = 0;
    std::uint32_t assetsReloaded = 0;
    std::uint32_t assetsFailed = 0;
    bool paused = false;
    bool looping = false;
    float loopStart = 0.0f;
    float loopEnd = 0.0f;
    bool musicStarted = false;
    int slowdown = 1;
};

class LM1_DevOverlay
{
public:
    // The panel's background and the error area's, for whoever looks for them in a picture.
    static constexpr QR_Colour PanelColour = {0, 0, 0, 176};
    static constexpr QR_Colour ErrorColour = {150, 0, 0, 216};

    LM1_DevOverlay() = default;
    LM1_DevOverlay(const LM1_DevOverlay&) = delete;
    LM1_DevOverlay& operator=(const LM1_DevOverlay&) = delete;

    // Loading, reloaded (successful reloads, counted over the session) and failed assets.
    static void CountAssets(const std::vector<QC_Ptr<QD_Asset>>& assets, LM1_DevStatistics& statistics);
    // Several lines: beat and bar, scene name and number, fade, frames per second, triangles,
    // CPU time per frame, the asset counts, and the transport's state.
    static std::string StatisticsText(const LM1_DevStatistics& statistics);
    // For each asset with a load error: its path, then its error lines indented; "" when none.
    static std::string ErrorText(const std::vector<QC_Ptr<QD_Asset>>& assets);

    // Draws onto the current target of width x height pixels: statistics (skipped when empty)
    // and errors (skipped when empty). Lines that would fall below the picture are left out.
    void Draw(QU_Font* font, std::uint32_t width, std::uint32_t height, const std::string& statistics,
              const std::string& errors);

private:
    QU_Canvas canvas;
};
