// vc-shader-corpus: how much of the public shader corpus the shader compiler accepts.
//
//   vc-shader-corpus [--device] [--isolated] [CORPUS_FOLDER]
//
// Compiles every (file, entry, profile, defines) line of CORPUS_FOLDER/corpus.tsv (default
// tests/qp/shader/corpus) and prints one line per entry ("ok" or "refused" with the first error
// line), then the refusal reasons with their counts (the first error line without its position)
// and the acceptance rate. With --device each accepted stage is also created on the headless
// device, so the GL driver compiles its GLSL; a stage the driver refuses counts as refused.
// With --isolated the compiles run in the crash-isolating helper process.
// Exit status: 0 when every entry was accepted, 1 when some were refused, 2 for a wrong command
// line, an unreadable or empty manifest, or no headless device.

#include "QP_Device.h"
#include "QP_DeviceContext.h"
#include "QP_Factory.h"
#include "QP_ShaderCompiler.h"

#include "../tests/qp/shader/corpus/ShaderCorpus.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kExitAllAccepted = 0;
constexpr int kExitSomeRefused = 1;
constexpr int kExitUnusable = 2;

void PrintUsage()
{
    std::fputs("usage: vc-shader-corpus [--device] [--isolated] [CORPUS_FOLDER]\n", stderr);
}

bool CreateHeadlessDevice(QC_Ptr<QP_Device>* device)
{
    QP_FactoryOptions options;
    options.headless = true;
    QC_Ptr<QP_Factory> factory;
    QC_Ptr<QP_Adapter> adapter;
    QC_Ptr<QP_DeviceContext> context;
    return QP_Succeeded(QP_CreateFactory(options, &factory)) && QP_Succeeded(factory->EnumAdapters(0, &adapter)) &&
           QP_Succeeded(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_UNKNOWN, 0, device, &context));
}

// Whether the GL driver builds the stage's GLSL (its message goes to the log).
bool DeviceBuildsStage(QP_Device* device, const ShaderCorpusEntry& entry, const QP_Blob* code)
{
    if (entry.profile.compare(0, 2, "vs") == 0) {
        QC_Ptr<QP_VertexShader> shader;
        return QP_Succeeded(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &shader));
    }
    QC_Ptr<QP_PixelShader> shader;
    return QP_Succeeded(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader));
}

std::string DescribeEntry(const ShaderCorpusEntry& entry)
{
    std::string text = entry.file + " " + entry.entry + " " + entry.profile;
    if (entry.defines != "-")
        text += " [" + entry.defines + "]";
    return text;
}
} // namespace

int main(int argc, char** argv)
{
    bool onDevice = false;
    std::string folder = "tests/qp/shader/corpus";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--device") == 0)
            onDevice = true;
        else if (std::strcmp(argv[i], "--isolated") == 0)
            QP_SetShaderCompilerIsolation(true);
        else if (argv[i][0] == '-') {
            PrintUsage();
            return kExitUnusable;
        } else
            folder = argv[i];
    }

    std::vector<ShaderCorpusEntry> entries;
    std::string problem;
    if (!ReadShaderCorpusManifest(folder, &entries, &problem)) {
        std::fprintf(stderr, "vc-shader-corpus: %s\n", problem.c_str());
        return kExitUnusable;
    }
    if (entries.empty()) {
        std::fprintf(stderr, "vc-shader-corpus: %s/corpus.tsv lists no entries\n", folder.c_str());
        return kExitUnusable;
    }
    QC_Ptr<QP_Device> device;
    if (onDevice && !CreateHeadlessDevice(&device)) {
        std::fputs("vc-shader-corpus: no headless device\n", stderr);
        return kExitUnusable;
    }

    std::vector<std::string> reasons;
    int accepted = 0;
    for (const ShaderCorpusEntry& entry : entries) {
        ShaderCorpusResult result = CompileShaderCorpusEntry(folder, entry);
        if (result.accepted && device && !DeviceBuildsStage(device.Get(), entry, result.code.Get())) {
            result.accepted = false;
            result.firstError = "The GL driver refused the stage's GLSL.";
        }
        if (result.accepted) {
            ++accepted;
            std::printf("ok       %s\n", DescribeEntry(entry).c_str());
            continue;
        }
        std::printf("refused  %s: %s\n", DescribeEntry(entry).c_str(), result.firstError.c_str());
        reasons.push_back(ShaderCorpusReason(result.firstError));
    }

    std::printf("\nrefusal reasons (count, first error line without its position):\n");
    for (const auto& [reason, count] : RankShaderCorpusReasons(reasons))
        std::printf("%4d  %s\n", count, reason.c_str());
    const double rate = 100.0 * accepted / static_cast<double>(entries.size());
    std::printf("\naccepted %d of %zu entries (%.1f %%)%s\n", accepted, entries.size(), rate,
                onDevice ? ", GLSL built by the GL driver" : "");
    return accepted == static_cast<int>(entries.size()) ? kExitAllAccepted : kExitSomeRefused;
}
