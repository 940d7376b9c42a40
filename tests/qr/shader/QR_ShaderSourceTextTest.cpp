// The text a shader source arrives as: a leading byte-order mark reads like the same source
// without it, and a preprocessor line in stage code (#include) reaches the generated stage on a
// line of its own, where the compiler's preprocessor sees it.

#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include "support/ShaderTestLog.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const std::string source = R"(constants
{
  look
  {
    float4 tint;
  }
}
pixel
{
  #include "lib/tint.hlsl"
  void main(in QR_Position inPosition, out QR_Target outColour)
  {
    outColour = Tint(look.tint);
  }
}
)";

class QR_ShaderSourceTextTest : public QR_ShaderLogTest
{
protected:
    std::string GeneratePixel(const std::string& text)
    {
        QR_ShaderParser parser;
        parser.Parse(QC_String(text.c_str(), static_cast<std::uint32_t>(text.size())));
        QC_String hlsl;
        QR_ShaderGenerator_HLSL::GeneratePixelShader(parser.Description(), hlsl);
        return std::string(hlsl.CStr(), hlsl.Length());
    }
};
} // namespace

TEST_F(QR_ShaderSourceTextTest, LeadingByteOrderMarkIsSkippedAndIncludeLinesStayWhole)
{
    const std::string plain = GeneratePixel(source);
    EXPECT_TRUE(TakeMessages().empty());
    const std::string marked = GeneratePixel("\xEF\xBB\xBF" + source);
    const std::vector<std::string> messages = TakeMessages();
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(marked, plain);
    EXPECT_NE(plain.find("\n  #include \"lib/tint.hlsl\"\n"), std::string::npos) << plain;
}
