// What the start-up lets through to standard error: errors only unless the command line or the
// environment asks for more.

#include "LM1_Startup.h"
#include "QC_Log.h"

#include <gtest/gtest.h>

TEST(LM1_StartupTest, StandardErrorIsQuietUnlessVerboseOrTheEnvironmentAsks)
{
    EXPECT_EQ(LM1_StandardErrorLevel(false, nullptr), QC_LOG_ERROR);
    EXPECT_EQ(LM1_StandardErrorLevel(false, ""), QC_LOG_ERROR);
    EXPECT_EQ(LM1_StandardErrorLevel(false, "info"), QC_LOG_INFO);
    EXPECT_EQ(LM1_StandardErrorLevel(false, "INFO"), QC_LOG_INFO);
    EXPECT_EQ(LM1_StandardErrorLevel(false, "debug"), QC_LOG_DEBUG);
    EXPECT_EQ(LM1_StandardErrorLevel(false, "Debug"), QC_LOG_DEBUG);
    // Anything else is the quiet default, not a guess.
    EXPECT_EQ(LM1_StandardErrorLevel(false, "1"), QC_LOG_ERROR);
    EXPECT_EQ(LM1_StandardErrorLevel(false, "debugging"), QC_LOG_ERROR);
    EXPECT_EQ(LM1_StandardErrorLevel(false, "error"), QC_LOG_ERROR);
    // --verbose shows everything, whatever the environment says.
    EXPECT_EQ(LM1_StandardErrorLevel(true, nullptr), QC_LOG_DEBUG);
    EXPECT_EQ(LM1_StandardErrorLevel(true, "info"), QC_LOG_DEBUG);
}
