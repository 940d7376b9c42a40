// vc-shader: the shader author's checker.
//
//   vc-shader [--glsl] [--stage vertex|pixel] FILE.qcs
//
// Parses FILE and prints the generated HLSL of the named stage (both, vertex first, when none is
// named) to standard output, #line directives included: it is the text the compiler reads, and
// they say which line of FILE each part comes from. Log lines go to standard error; every
// message about the source names its place as FILE(LINE): or FILE(LINE,COLUMN): (see
// QR_ShaderMessages), FILE as given on the command line. Exit status: 0 when nothing was
// reported at level 2 or above, 1 otherwise, 2 for a wrong command line or an unreadable file.
// A fatal error ends the tool like any process, with the fatal exit code.
//
// With --glsl the stages are created through the renderer (Direct3D 10 backend) on the headless
// device, exactly as the demo creates them, and the GLSL the platform made of each is printed
// instead. A stage that fails prints nothing; the renderer's messages go to standard error and
// the exit status is 1. The stage code's #include directives name files relative to the
// including file (the first level: relative to FILE).

#include "VC_ToolHelp.h"
#include "QC_File.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QP_FileInclude.h"
#include "QR_Renderer.h"
#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr int kExitClean = 0;
constexpr int kExitReported = 1;
constexpr int kExitUnusable = 2;

// Counts the reports of level 2 and above; the log owns it.
class ErrorCounter : public QC_LogBackend
{
public:
    explicit ErrorCounter(int* target) : count(target) {}
    void Write(int level, std::uint32_t, const char*, const char*, int) override
    {
        if (level >= QC_LOG_ERROR)
            ++*count;
    }

private:
    int* count;
};

constexpr const char* kUsage =
    "usage: vc-shader [--glsl] [--stage vertex|pixel] FILE.qcs\n"
    "Translates a shader of the demo's shading language and compiles it: prints the HLSL, or with\n"
    "--glsl the GLSL the platform compiled; errors name the author's file and line.\n";

void PrintUsage()
{
    std::fputs(kUsage, stderr);
}

// Creates the wanted stages through a headless renderer and appends the GLSL of each one made.
// Included files are found from the folder of the shader file at path.
void AppendPlatformGlsl(const char* path, const QC_StringBase& source, bool wantVertex, bool wantPixel, QC_String& text)
{
    const char* slash = std::strrchr(path, '/');
    const std::string folder = slash ? std::string(path, slash == path ? 1 : static_cast<std::size_t>(slash - path)) : std::string(".");
    QP_FileInclude include(folder.c_str());
    QR_RendererSettings settings;
    settings.backend = QR_Backend::DX10;
    settings.headless = true;
    QR_CreateRenderer(settings);
    QR_Renderer* renderer = QR_GetRenderer();
    if (wantVertex) {
        QC_Ptr<QR_VertexShader> shader = renderer->CreateVertexShader(source, &include, path);
        if (shader)
            text.Append(shader->GetPlatformCodeText());
    }
    if (wantPixel) {
        QC_Ptr<QR_PixelShader> shader = renderer->CreatePixelShader(source, &include, path);
        if (shader)
            text.Append(shader->GetPlatformCodeText());
    }
    QR_DestroyRenderer();
}
} // namespace

int main(int argc, char** argv)
{
    bool wantVertex = true;
    bool wantPixel = true;
    bool glsl = false;
    const char* path = nullptr;

    if (VC_AskedForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--glsl") == 0) {
            glsl = true;
        } else if (std::strcmp(argv[i], "--stage") == 0 && i + 1 < argc) {
            const char* stage = argv[++i];
            wantVertex = std::strcmp(stage, "vertex") == 0;
            wantPixel = std::strcmp(stage, "pixel") == 0;
            if (!wantVertex && !wantPixel) {
                PrintUsage();
                return kExitUnusable;
            }
        } else if (!path && argv[i][0] != '-') {
            path = argv[i];
        } else {
            PrintUsage();
            return kExitUnusable;
        }
    }
    if (!path) {
        PrintUsage();
        return kExitUnusable;
    }

    int errorCount = 0;
    QC_Log* log = QC_CreateLog(QC_LogConfig{});
    log->AddBackend(new ErrorCounter(&errorCount));

    QC_String source;
    if (!QC_ReadFile(path, source)) {
        QC_ERROR("Failed to read %s.", path);
        QC_DestroyLog();
        return kExitUnusable;
    }

    QC_String text;
    if (glsl) {
        AppendPlatformGlsl(path, source, wantVertex, wantPixel, text);
    } else {
        QR_ShaderParser parser;
        parser.Parse(source, path);
        if (wantVertex)
            QR_ShaderGenerator_HLSL::GenerateVertexShader(parser.Description(), text);
        if (wantPixel)
            QR_ShaderGenerator_HLSL::GeneratePixelShader(parser.Description(), text);
    }
    std::fwrite(text.CStr(), 1, text.Length(), stdout);
    std::fflush(stdout);

    QC_DestroyLog();
    return errorCount > 0 ? kExitReported : kExitClean;
}
