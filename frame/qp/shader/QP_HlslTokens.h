#pragma once
// A shader text read as tokens (QP_HlslScanner), with each bracket's partner, and edited in
// place: the shared ground of the compile chain's rewrites of the expanded text.
//
//   class MyRewrite : QP_HlslTokens { ... Replace(i, "x"); Insert(tokens[i].end, "y"); ... };
//   text = rewrite.Write();
//
// Edits name byte ranges of the text; Write applies them in order of place, an insertion before
// a replacement at the same place, and skips one that overlaps an earlier one. Brackets pair
// as they nest; after a closing bracket that does not match, nothing before it stays open (the
// guards report the text).

#include "QP_HlslScanner.h"

#include <cstddef>
#include <string>
#include <vector>

class QP_HlslTokens
{
public:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    // sourceName names the text before its first #line directive (null: "0"); scannerOptions:
    // QP_HlslScanner::Option values.
    QP_HlslTokens(const std::string& text, const char* sourceName, unsigned scannerOptions);

    // The token at i is this punctuation byte, a name, a name spelled so (false past the end).
    bool Is(std::size_t i, char c) const;
    bool IsName(std::size_t i) const;
    bool Spells(std::size_t i, const char* name) const;
    std::string Word(std::size_t i) const;
    // The commas of the bracket pair opened at open that belong to it, not to nested brackets.
    std::vector<std::size_t> OwnCommas(std::size_t open) const;

    void Replace(std::size_t token, const std::string& with);
    void Insert(std::size_t offset, const std::string& what);
    void Edit(std::size_t begin, std::size_t end, const std::string& with);
    bool Edited() const { return !edits.empty(); }
    // The text with the edits made.
    std::string Write() const;

protected:
    const std::string& text;
    std::vector<QP_HlslScanner::Token> tokens;
    std::vector<std::size_t> partner;    // the bracket that closes or opens the one at i, or none
    std::vector<std::string> fileNames; // of each token's file, as the scanner names it

private:
    struct Change
    {
        std::size_t begin, end; // text[begin, end) becomes with
        std::string with;
    };
    std::vector<Change> edits;
};
