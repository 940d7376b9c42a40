// The text a sequencer script arrives as: a leading byte-order mark (written by some editors)
// reads like the same script without it, in memory and from a file; anywhere else it is a
// stray token.

#include "support/SeqTestSupport.h"
#include "support/TempDir.h"

#include "QD_Sequencer.h"
#include "QD_SequencerConst.h"
#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const std::string byteOrderMark = "\xEF\xBB\xBF";
const std::string script = "// levels\n10 = 0.5;\n11 = linear(0:0, 16:1);\n";

float ConstantAt(const QC_Ptr<QD_Sequencer>& sequencer, int number)
{
    const auto* constant = dynamic_cast<const QD_SequencerConst*>(sequencer->GetChannel(number));
    return constant ? constant->Value() : -1.0f;
}
} // namespace

TEST(QD_SequencerScriptTextTest, LeadingByteOrderMarkIsSkippedInTextsAndFiles)
{
    {
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer;
        const std::string text = byteOrderMark + script;
        ASSERT_TRUE(QD_ParseSequencerText(text.data(), static_cast<std::uint32_t>(text.size()), sequencer));
        EXPECT_TRUE(log.Errors().empty()) << log.Errors()[0];
        EXPECT_EQ(sequencer->AllChannels().size(), 2u);
        EXPECT_EQ(ConstantAt(sequencer, 10), 0.5f);
    }
    {
        // Saved with CR LF line ends too, as such editors do.
        LogCapture log;
        TempDir folder;
        const std::string path = folder.Write("script.qcs", byteOrderMark + "10 = 0.25;\r\n11 = beat(2);\r\n");
        QC_Ptr<QD_Sequencer> sequencer;
        ASSERT_TRUE(QD_ParseSequencerScript(path.c_str(), sequencer));
        EXPECT_TRUE(log.Errors().empty()) << log.Errors()[0];
        EXPECT_EQ(ConstantAt(sequencer, 10), 0.25f);
    }
    {
        // Only the very first bytes: after a statement the mark is no part of the language.
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer;
        const std::string text = "10 = 0.5;\n" + byteOrderMark + "11 = 1;\n";
        EXPECT_FALSE(QD_ParseSequencerText(text.data(), static_cast<std::uint32_t>(text.size()), sequencer));
        EXPECT_FALSE(log.Errors().empty());
    }
}
