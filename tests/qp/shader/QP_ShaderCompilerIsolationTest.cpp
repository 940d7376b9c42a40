// The compile chain in a helper process: every kept crasher of the front end costs only its own
// compile, and isolated compiles give the same code and messages as compiles in this process.

#include "QP_ShaderCompiler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace
{
std::string ReadBytes(const std::filesystem::path& path)
{
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0;)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

class QP_ShaderCompilerIsolationTest : public ::testing::Test
{
protected:
    void SetUp() override { QP_SetShaderCompilerIsolation(true); }
    void TearDown() override { QP_SetShaderCompilerIsolation(false); }
};
} // namespace

TEST_F(QP_ShaderCompilerIsolationTest, EveryKeptCrasherFailsWithAMessageAndTheProcessGoesOn)
{
    const std::filesystem::path folder = std::filesystem::path(VC_SOURCE_DIR) / "tests/fuzz/crashers";
    int crashers = 0;
    int crashedHelpers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("shader_compile-", 0) != 0)
            continue;
        ++crashers;
        const std::string bytes = ReadBytes(entry.path());
        ASSERT_FALSE(bytes.empty()) << name;
        QC_Ptr<QP_Blob> code, errors;
        const QP_Result result = QP_Compile(bytes.data() + 1, bytes.size() - 1, nullptr, "QR_Main",
                                            (bytes[0] & 1) ? "ps_4_0" : "vs_4_0", &code, &errors);
        EXPECT_EQ(result, QP_E_FAIL) << name;
        EXPECT_EQ(code.Get(), nullptr) << name;
        const std::string message = QP_BlobText(errors.Get());
        EXPECT_FALSE(message.empty()) << name;
        crashedHelpers += message.find("The shader compiler crashed") != std::string::npos;
    }
    EXPECT_GE(crashers, 13);
    // The front end's unguarded crash classes really crash: isolation is what contains them.
    EXPECT_GE(crashedHelpers, 1);
}

TEST_F(QP_ShaderCompilerIsolationTest, CodeAndMessagesMatchACompileInThisProcess)
{
    const std::string good = "cbuffer B : register(b0) { float4 tint; };\n"
                             "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return tint; }\n";
    const std::string bad = "float4 QR_Main() : SV_TARGET\n{\n    return undeclared;\n}\n";
    for (const std::string& text : {good, bad}) {
        QC_Ptr<QP_Blob> isolatedCode, isolatedErrors, localCode, localErrors;
        const QP_Result isolated =
            QP_Compile(text.data(), text.size(), nullptr, "QR_Main", "ps_4_0", &isolatedCode, &isolatedErrors);
        const QP_Result local =
            QP_CompileHere(text.data(), text.size(), nullptr, "QR_Main", "ps_4_0", &localCode, &localErrors);
        EXPECT_EQ(isolated, local);
        EXPECT_STREQ(QP_BlobText(isolatedErrors.Get()), QP_BlobText(localErrors.Get()));
        ASSERT_EQ(static_cast<bool>(isolatedCode), static_cast<bool>(localCode));
        if (localCode) {
            ASSERT_EQ(isolatedCode->GetBufferSize(), localCode->GetBufferSize());
            EXPECT_EQ(std::memcmp(isolatedCode->GetBufferPointer(), localCode->GetBufferPointer(),
                                  localCode->GetBufferSize()),
                      0);
        }
    }
    // The error names its line, as the front end wrote it.
    QC_Ptr<QP_Blob> errors;
    QP_Compile(bad.data(), bad.size(), nullptr, "QR_Main", "ps_4_0", nullptr, &errors);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("0:3:"), std::string::npos) << QP_BlobText(errors.Get());
}
