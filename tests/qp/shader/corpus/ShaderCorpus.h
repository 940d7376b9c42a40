#pragma once
// The shader corpus: public vertex and pixel stages that their own programs compile with the
// platform compiler at Shader Model 4 or 5, listed one (file, entry, profile, defines) a line in
// corpus.tsv beside this header. The corpus test (tests/qp/gpu/QP_ShaderCompilerCorpusTest.cpp) and the tool
// vc-shader-corpus share this reader and runner, so both count acceptance the same way.
//
//   std::vector<ShaderCorpusEntry> entries;
//   std::string problem;
//   if (!ReadShaderCorpusManifest(corpusFolder, &entries, &problem)) ...
//   for (const ShaderCorpusEntry& entry : entries) {
//       ShaderCorpusResult result = CompileShaderCorpusEntry(corpusFolder, entry);
//       ... result.accepted, result.code, ShaderCorpusReason(result.firstError)
//   }
//
// Defines are what the program passes to the compiler beside the text (its macro list); they are
// written as #define lines ahead of the file's text, followed by "#line 1" so messages keep the
// file's own line numbers. Files that #include others are compiled with the file-system include
// handler (QP_FileInclude.h), relative to the including file.

#include "QP_FileInclude.h"
#include "QP_ShaderCompiler.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct ShaderCorpusEntry
{
    std::string file;           // relative to the corpus folder; its first folder names the package
    std::string entry;          // entry point
    std::string profile;        // the profile compiled here (vs_4_0 .. ps_5_0)
    std::string programProfile; // the profile the program itself names (e.g. ps_4_0_level_9_3)
    std::string defines;        // NAME or NAME=VALUE, separated by ';'; "-" for none
    std::string package;        // origin: Debian package name
    std::string version;        // origin: package version
    std::string licence;
    int line = 0; // line of the manifest
};

struct ShaderCorpusResult
{
    bool accepted = false;
    std::string firstError; // first error line of the compiler's message (refusals only)
    QC_Ptr<QP_Blob> code;
};

// Splits a manifest line at tabs.
inline std::vector<std::string> SplitShaderCorpusFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

// Reads corpus.tsv of the folder. Lines starting with '#' and empty lines are skipped; every
// other line must have the eight fields. On failure *problem names the line.
inline bool ReadShaderCorpusManifest(const std::string& folder, std::vector<ShaderCorpusEntry>* entries,
                                     std::string* problem)
{
    std::ifstream in(folder + "/corpus.tsv");
    if (!in) {
        *problem = "cannot read " + folder + "/corpus.tsv";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> fields = SplitShaderCorpusFields(line);
        if (fields.size() != 8) {
            *problem = "corpus.tsv line " + std::to_string(number) + ": " + std::to_string(fields.size()) +
                       " fields, expected 8";
            return false;
        }
        entries->push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7],
                            number});
    }
    return true;
}

inline bool ReadShaderCorpusFile(const std::string& path, std::string* text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    *text = bytes.str();
    return true;
}

// The text handed to the compiler: the defines as #define lines, then the file unchanged. A
// byte-order mark stays first, where the compiler looks for it.
inline std::string ShaderCorpusSource(const std::string& fileText, const std::string& defines)
{
    if (defines.empty() || defines == "-")
        return fileText;
    static const std::string bom = "\xEF\xBB\xBF";
    const bool hasBom = fileText.compare(0, bom.size(), bom) == 0;
    std::string text = hasBom ? bom : std::string();
    std::size_t start = 0;
    while (start <= defines.size()) {
        std::size_t end = defines.find(';', start);
        if (end == std::string::npos)
            end = defines.size();
        std::string define = defines.substr(start, end - start);
        const std::size_t equals = define.find('=');
        if (equals != std::string::npos)
            define[equals] = ' ';
        if (!define.empty())
            text += "#define " + define + "\n";
        start = end + 1;
    }
    text += "#line 1\n";
    text.append(fileText, hasBom ? bom.size() : 0, std::string::npos);
    return text;
}

// The first line of a message that reports an error (the first line at all when none says so).
inline std::string ShaderCorpusFirstError(const std::string& message)
{
    std::istringstream lines(message);
    std::string line, first;
    while (std::getline(lines, line)) {
        if (line.empty())
            continue;
        if (first.empty())
            first = line;
        if (line.find("ERROR") != std::string::npos || line.find("error") != std::string::npos)
            return line;
    }
    return first.empty() ? "(no message)" : first;
}

// The reason of a refusal, for grouping: the first error line without its "ERROR: file:line: "
// position, so the same refusal in different files counts together.
inline std::string ShaderCorpusReason(const std::string& firstError)
{
    std::string reason = firstError;
    const std::string tag = "ERROR: ";
    if (reason.compare(0, tag.size(), tag) == 0)
        reason.erase(0, tag.size());
    // "name:12: rest" or "0:12: rest": drop up to the line number's colon.
    const std::size_t colon = reason.find(": ");
    if (colon != std::string::npos && colon > 0) {
        const std::size_t lineColon = reason.rfind(':', colon - 1);
        const std::string number = lineColon == std::string::npos ? "" : reason.substr(lineColon + 1, colon - lineColon - 1);
        if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
            reason.erase(0, colon + 2);
    }
    return reason;
}

inline ShaderCorpusResult CompileShaderCorpusEntry(const std::string& folder, const ShaderCorpusEntry& entry)
{
    ShaderCorpusResult result;
    std::string fileText;
    if (!ReadShaderCorpusFile(folder + "/" + entry.file, &fileText)) {
        result.firstError = "cannot read " + entry.file;
        return result;
    }
    const std::string text = ShaderCorpusSource(fileText, entry.defines);
    QC_Ptr<QP_Blob> code, errors;
    const std::size_t slash = entry.file.rfind('/');
    const std::string fileFolder = folder + (slash == std::string::npos ? "" : "/" + entry.file.substr(0, slash));
    QP_FileInclude include(fileFolder.c_str());
    const QP_Result compiled = QP_Compile(text.data(), text.size(), entry.file.c_str(), &include, entry.entry.c_str(),
                                          entry.profile.c_str(), &code, &errors);
    result.accepted = QP_Succeeded(compiled) && code;
    if (result.accepted)
        result.code = code;
    else
        result.firstError = ShaderCorpusFirstError(QP_BlobText(errors.Get()));
    return result;
}

// Refusal reasons with their counts, most frequent first.
inline std::vector<std::pair<std::string, int>> RankShaderCorpusReasons(const std::vector<std::string>& reasons)
{
    std::map<std::string, int> counts;
    for (const std::string& reason : reasons)
        ++counts[reason];
    std::vector<std::pair<std::string, int>> ranked(counts.begin(), counts.end());
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return ranked;
}
