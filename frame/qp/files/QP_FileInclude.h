#pragma once
// The file-system include handler: "#include "x"" and "#include <x>" name a file relative to
// the folder of the file that includes it; the text given to QP_Compile counts as a file in
// the base folder. Absolute names are used as they are. Files are read in text mode (CR LF
// arrives as LF), like the asset files that include them.
//
//   QP_FileInclude include("assets/shaders");
//   QP_Compile(text, length, "assets/shaders/water.qcs", &include, "QR_Main", "ps_4_0", &code, &errors);
//   for (const std::string& path : include.OpenedFiles()) Watch(path);
//
// It records every file it opened and every path it looked for in vain (a file created there
// later would change the compile), each once, in order. One compile at a time per handler.

#include "QP_Include.h"

#include <memory>
#include <string>
#include <vector>

class QP_FileInclude : public QP_Include
{
public:
    explicit QP_FileInclude(const char* baseFolder);
    ~QP_FileInclude() override;

    QP_Result Open(QP_IncludeType type, const char* fileName, const void* parentData, const void** data,
                   std::uint32_t* bytes) override;
    void Close(const void* data) override;

    const std::vector<std::string>& OpenedFiles() const { return openedFiles; }
    const std::vector<std::string>& MissingFiles() const { return missingFiles; }
    // Forgets both records (before the next compile with the same handler).
    void ClearRecords();

private:
    struct OpenFile
    {
        std::string path;
        std::string text;
    };

    std::string baseFolder;
    std::vector<std::unique_ptr<OpenFile>> openFiles; // those not closed yet
    std::vector<std::string> openedFiles;
    std::vector<std::string> missingFiles;
};
