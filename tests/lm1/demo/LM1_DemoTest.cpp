// The demo object's statistics, display-mode texts and the resources the executable carries.

#include "LM1_Demo.h"
#include "LM1_Launcher.h"
#include "LM1_Resources.h"
#include "QR_Renderer.h"

#include <gtest/gtest.h>

TEST(LM1_DemoTest, StartsRunningWithEmptyStatistics)
{
    LM1_Demo demo;
    EXPECT_TRUE(demo.IsRunning());
    EXPECT_EQ(demo.FramesPerSecond(), 0);
    EXPECT_EQ(demo.TrianglesLastFrame(), 0);
    EXPECT_EQ(demo.FramesThisSecond(), 0);
}

TEST(LM1_DemoTest, PublishesTheFramesOfEachWholeSecond)
{
    LM1_Demo demo;
    // The first reading starts the second; frames before it count into it.
    demo.UpdateStatisticsAt(5000);
    for (int frame = 0; frame < 3; ++frame)
        demo.EndFrame();
    demo.UpdateStatisticsAt(5999);
    EXPECT_EQ(demo.FramesPerSecond(), 0);
    EXPECT_EQ(demo.FramesThisSecond(), 3);
    demo.EndFrame();
    demo.UpdateStatisticsAt(6000);
    EXPECT_EQ(demo.FramesPerSecond(), 4);
    EXPECT_EQ(demo.FramesThisSecond(), 0);
    // The next second starts 1000 ms after the previous one, not at the late reading.
    demo.EndFrame();
    demo.UpdateStatisticsAt(6990);
    EXPECT_EQ(demo.FramesPerSecond(), 4);
    demo.UpdateStatisticsAt(7000);
    EXPECT_EQ(demo.FramesPerSecond(), 1);
    EXPECT_TRUE(demo.IsRunning());
}

TEST(LM1_DemoTest, CountsSecondsAcrossTheTickCountsWrap)
{
    LM1_Demo demo;
    demo.UpdateStatisticsAt(0xFFFFFF00u);
    demo.EndFrame();
    demo.EndFrame();
    // 0xFFFFFF00 + 1000 wraps to 0x2E8: 999 ms later nothing is published, 1000 ms later it is.
    demo.UpdateStatisticsAt(0x2E7u);
    EXPECT_EQ(demo.FramesPerSecond(), 0);
    demo.UpdateStatisticsAt(0x2E8u);
    EXPECT_EQ(demo.FramesPerSecond(), 2);
}

TEST(LM1_DemoTest, EndFrameTakesAndResetsTheRenderersTriangleCount)
{
    QR_RendererSettings settings;
    settings.headless = true;
    QR_CreateRenderer(settings);
    ASSERT_NE(QR_GetRenderer(), nullptr);
    LM1_Demo demo;
    QR_GetRenderer()->AddTriangles(12);
    QR_GetRenderer()->AddTriangles(30);
    demo.EndFrame();
    EXPECT_EQ(demo.TrianglesLastFrame(), 42);
    EXPECT_EQ(QR_GetRenderer()->GetTriangleCount(), 0);
    demo.EndFrame();
    EXPECT_EQ(demo.TrianglesLastFrame(), 0);
    EXPECT_EQ(demo.FramesThisSecond(), 2);
    QR_DestroyRenderer();
}

TEST(LM1_LauncherTest, ModeTextsRunTheNumbersTogetherWithTheirSeparators)
{
    QC_Ptr<QR_DisplayMode> mode(new QR_DisplayMode);
    mode->width = 1920;
    mode->height = 1080;
    mode->refreshRate = 60;
    EXPECT_STREQ(LM1_FormatDisplayMode(*mode).CStr(), "1920 x 1080 @ 60 Hz");
    // The largest numbers still fit the fixed text.
    mode->width = mode->height = mode->refreshRate = 0xFFFFFFFFu;
    EXPECT_STREQ(LM1_FormatDisplayMode(*mode).CStr(), "4294967295 x 4294967295 @ 4294967295 Hz");
}

TEST(LM1_ResourcesTest, CarryTheLauncherPictureAndTheIcon)
{
    QC_Ptr<QC_Image> picture = LM1_LoadResourceImage("launcher.png");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Width(), 400u);
    EXPECT_EQ(picture->Height(), 150u);
    // The picture is opaque everywhere.
    for (std::uint32_t i = 0; i < picture->Width() * picture->Height(); ++i)
        ASSERT_EQ(picture->Pixels()[i] >> 24, 0xFFu) << "pixel " << i;

    QC_Ptr<QC_Image> icon = LM1_LoadResourceImage("icon.png");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->Width(), icon->Height());

    // Resources are looked up by exact name; anything else is no resource.
    EXPECT_FALSE(LM1_LoadResourceImage("missing.png"));
    EXPECT_EQ(LM1_FindResource("LAUNCHER.PNG"), nullptr);
}
