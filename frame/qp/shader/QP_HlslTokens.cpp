#include "QP_HlslTokens.h"

#include <algorithm>
#include <cstring>

QP_HlslTokens::QP_HlslTokens(const std::string& text, const char* sourceName, unsigned scannerOptions) : text(text)
{
    QP_HlslScanner scanner(text.data(), text.size(), sourceName, scannerOptions);
    for (QP_HlslScanner::Token token; scanner.Next(token);) {
        tokens.push_back(token);
        if (token.file >= fileNames.size())
            fileNames.resize(token.file + 1);
        if (fileNames[token.file].empty())
            fileNames[token.file] = scanner.FileName(token.file);
    }
    partner.assign(tokens.size(), none);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (Is(i, '(') || Is(i, '[') || Is(i, '{')) {
            open.push_back(i);
        } else if (Is(i, ')') || Is(i, ']') || Is(i, '}')) {
            const char opener = Is(i, ')') ? '(' : Is(i, ']') ? '[' : '{';
            if (!open.empty() && Is(open.back(), opener)) {
                partner[open.back()] = i;
                partner[i] = open.back();
                open.pop_back();
            } else {
                open.clear();
            }
        }
    }
}

bool QP_HlslTokens::Is(std::size_t i, char c) const
{
    return i < tokens.size() && tokens[i].kind == QP_HlslScanner::PUNCTUATION && text[tokens[i].begin] == c;
}

bool QP_HlslTokens::IsName(std::size_t i) const
{
    return i < tokens.size() && tokens[i].kind == QP_HlslScanner::NAME;
}

bool QP_HlslTokens::Spells(std::size_t i, const char* name) const
{
    if (!IsName(i))
        return false;
    const std::size_t size = tokens[i].end - tokens[i].begin;
    return std::strlen(name) == size && text.compare(tokens[i].begin, size, name) == 0;
}

std::string QP_HlslTokens::Word(std::size_t i) const
{
    return text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin);
}

std::vector<std::size_t> QP_HlslTokens::OwnCommas(std::size_t open) const
{
    std::vector<std::size_t> commas;
    for (std::size_t i = open + 1; i < partner[open]; ++i) {
        if ((Is(i, '(') || Is(i, '[') || Is(i, '{')) && partner[i] != none)
            i = partner[i];
        else if (Is(i, ','))
            commas.push_back(i);
    }
    return commas;
}

void QP_HlslTokens::Replace(std::size_t token, const std::string& with)
{
    edits.push_back({tokens[token].begin, tokens[token].end, with});
}

void QP_HlslTokens::Insert(std::size_t offset, const std::string& what)
{
    edits.push_back({offset, offset, what});
}

void QP_HlslTokens::Edit(std::size_t begin, std::size_t end, const std::string& with)
{
    edits.push_back({begin, end, with});
}

std::string QP_HlslTokens::Write() const
{
    std::vector<Change> sorted = edits;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Change& a, const Change& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end - a.begin < b.end - b.begin;
    });
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t copied = 0;
    for (const Change& change : sorted) {
        if (change.begin < copied)
            continue;
        out.append(text, copied, change.begin - copied);
        out += change.with;
        copied = change.end;
    }
    out.append(text, copied, std::string::npos);
    return out;
}
