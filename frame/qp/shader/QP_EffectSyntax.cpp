// Effect-file syntax rewritten to what the HLSL front end parses. Sections: tokens (the text cut
// by QP_HlslScanner), the rewrite.

#include "QP_EffectSyntax.h"

#include "QP_HlslScanner.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace
{
// --- tokens ------------------------------------------------------------------------------------
using Token = QP_HlslScanner::Token;

// Names are cut as the guards cut them, so every name they would refuse as gl_ is a token here.
// A preprocessor line ending in a backslash goes on on the next line here, as in a text not yet
// preprocessed, where the guards end it at its line break (the expanded text can hold one: a
// #pragma ending in a stray backslash); a gl_ name on that next line is left for them to refuse.
// Form feeds and vertical tabs are white space here; strings end at their line break.
std::vector<Token> Tokenise(const std::string& text)
{
    std::vector<Token> tokens;
    QP_HlslScanner scanner(text.data(), text.size(), nullptr,
                           QP_HlslScanner::CONTINUED_DIRECTIVES | QP_HlslScanner::FORM_FEEDS_AS_SPACE);
    for (Token token; scanner.Next(token);)
        tokens.push_back(token);
    return tokens;
}

// --- the rewrite -------------------------------------------------------------------------------
constexpr std::size_t none = static_cast<std::size_t>(-1);

enum Edit : unsigned char
{
    EDIT_KEEP,
    EDIT_BLANK,  // spaces in place of the token
    EDIT_RENAME, // the current spelling of a legacy object type
    EDIT_PREFIX, // QP_ before a gl_ name
};

struct LegacyType
{
    const char* legacy;
    const char* current;
};

const LegacyType legacyTypes[] = {
    {"texture", "Texture2D"},     {"texture1D", "Texture1D"}, {"texture2D", "Texture2D"},
    {"texture3D", "Texture3D"},   {"textureCUBE", "TextureCube"},
};

const char* const samplerTypes[] = {"SamplerState", "SamplerComparisonState", "sampler",    "sampler1D",
                                    "sampler2D",    "sampler3D",              "samplerCUBE"};
const char* const stateTypes[] = {"BlendState", "DepthStencilState", "RasterizerState"};
const char* const techniqueWords[] = {"technique", "technique10", "technique11"};
// Words that may stand before the type of a global declaration.
const char* const qualifiers[] = {"static", "uniform", "extern", "shared", "const"};

class Rewriter
{
public:
    explicit Rewriter(const std::string& text) : text(text), tokens(Tokenise(text))
    {
        edits.assign(tokens.size(), EDIT_KEEP);
        renames.assign(tokens.size(), nullptr);
        MatchBraces();
        FindStops();
        FindGreater();
    }

    std::string Run()
    {
        int depth = 0;
        bool statementStart = true;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (Is(i, '{')) {
                ++depth;
                statementStart = true;
            } else if (Is(i, '}')) {
                depth -= depth > 0;
                statementStart = true;
            } else if (Is(i, ';')) {
                statementStart = true;
            } else if (tokens[i].kind == QP_HlslScanner::NAME) {
                if (depth == 0 && statementStart) {
                    const std::size_t last = Declaration(i);
                    if (last != none) {
                        i = last;
                        continue; // the declaration ended with its } or ;
                    }
                }
                RenameName(i);
                statementStart = statementStart && NameIn(i, qualifiers);
            } else {
                statementStart = false;
            }
        }
        return Write();
    }

private:
    template <std::size_t count>
    bool NameIn(std::size_t i, const char* const (&names)[count]) const
    {
        for (const char* name : names) {
            if (Spells(i, name))
                return true;
        }
        return false;
    }

    bool Spells(std::size_t i, const char* name) const
    {
        const Token& token = tokens[i];
        const std::size_t size = token.end - token.begin;
        return token.kind == QP_HlslScanner::NAME && std::strlen(name) == size && text.compare(token.begin, size, name) == 0;
    }

    bool Is(std::size_t i, char c) const
    {
        return i < tokens.size() && tokens[i].kind == QP_HlslScanner::PUNCTUATION && text[tokens[i].begin] == c;
    }

    bool IsName(std::size_t i) const { return i < tokens.size() && tokens[i].kind == QP_HlslScanner::NAME; }

    // closing[i]: the } that closes the { at i, none where it never closes. One pass with a stack.
    void MatchBraces()
    {
        closing.assign(tokens.size(), none);
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (Is(i, '{')) {
                open.push_back(i);
            } else if (Is(i, '}') && !open.empty()) {
                closing[open.back()] = i;
                open.pop_back();
            }
        }
    }

    // stop[i]: the first {, } or ; at or after i (the token count where none follows). With
    // greater, a declaration's end is found without rescanning the tokens after it, which keeps
    // the pass linear whatever the text.
    void FindStops()
    {
        stop.assign(tokens.size() + 1, tokens.size());
        for (std::size_t i = tokens.size(); i-- > 0;)
            stop[i] = Is(i, '{') || Is(i, '}') || Is(i, ';') ? i : stop[i + 1];
    }

    // greater[i]: the first > at or after i, none where none follows.
    void FindGreater()
    {
        greater.assign(tokens.size() + 1, none);
        for (std::size_t i = tokens.size(); i-- > 0;)
            greater[i] = Is(i, '>') ? i : greater[i + 1];
    }

    void Blank(std::size_t first, std::size_t last)
    {
        for (std::size_t i = first; i <= last && i < tokens.size(); ++i)
            edits[i] = EDIT_BLANK;
    }

    // The {, } or ; that ends the declaration starting at i, after its annotations (< string
    // name = "..."; >, whose semicolons end nothing) where it has them.
    std::size_t DeclarationEnd(std::size_t i) const
    {
        const std::size_t end = stop[i + 1];
        for (std::size_t j = i + 1; j < end; ++j) {
            if (Is(j, '<'))
                return greater[j] == none ? end : stop[greater[j] + 1];
        }
        return end;
    }

    // A block from the { at open through its }, and a ; right after it. The last token blanked.
    std::size_t BlankBlock(std::size_t first, std::size_t open)
    {
        std::size_t last = closing[open];
        if (Is(last + 1, ';'))
            ++last;
        Blank(first, last);
        return last;
    }

    // The effect declarations that start at the name at i (a statement's first word at file
    // level): the last token handled, none where the name starts no such declaration.
    std::size_t Declaration(std::size_t i)
    {
        const std::size_t end = DeclarationEnd(i);
        const bool block = Is(end, '{') && closing[end] != none;
        if (NameIn(i, techniqueWords)) {
            // technique11 NAME < annotations > { pass P0 { ... } }
            if (!block || !(Is(i + 1, '{') || Is(i + 1, '<') || (IsName(i + 1) && !Is(i + 2, '('))))
                return none;
            return BlankBlock(i, end);
        }
        if (NameIn(i, stateTypes)) {
            // BlendState NAME [ N ] { ... }; or BlendState NAME;
            if (!IsName(i + 1) || Is(i + 2, '('))
                return none;
            if (Is(end, ';')) {
                Blank(i, end);
                return end;
            }
            return block ? BlankBlock(i, end) : none;
        }
        if (NameIn(i, samplerTypes)) {
            // SamplerState NAME : register(s0) { ... }; or sampler NAME = sampler_state { ... };
            // The block goes, from its = where it has one; the ; stays.
            if (!IsName(i + 1) || Is(i + 2, '(') || !block)
                return none;
            std::size_t first = end;
            for (std::size_t j = i + 2; j < end; ++j) {
                if (Is(j, '=') && j + 2 == end && Spells(j + 1, "sampler_state")) {
                    first = j;
                    break;
                }
            }
            for (std::size_t j = i + 1; j < first; ++j)
                RenameName(j);
            Blank(first, closing[end]);
            return closing[end];
        }
        return none;
    }

    // A legacy object type standing as a type, or a gl_ name.
    void RenameName(std::size_t i)
    {
        if (tokens[i].kind != QP_HlslScanner::NAME || edits[i] != EDIT_KEEP)
            return;
        const bool standsAsType = !(i > 0 && Is(i - 1, '.')) && (IsName(i + 1) || Is(i + 1, '<'));
        for (const LegacyType& type : legacyTypes) {
            if (standsAsType && Spells(i, type.legacy)) {
                edits[i] = EDIT_RENAME;
                renames[i] = type.current;
                return;
            }
        }
        // (QP_)* gl_ ...: the prefix maps distinct names to distinct names.
        std::size_t at = tokens[i].begin;
        while (tokens[i].end - at > 3 && text.compare(at, 3, "QP_") == 0)
            at += 3;
        if (tokens[i].end - at >= 3 && text.compare(at, 3, "gl_") == 0)
            edits[i] = EDIT_PREFIX;
    }

    std::string Write() const
    {
        std::string out;
        out.reserve(text.size() + text.size() / 8);
        std::size_t copied = 0;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const Token& token = tokens[i];
            out.append(text, copied, token.begin - copied);
            switch (edits[i]) {
            case EDIT_KEEP:
                out.append(text, token.begin, token.end - token.begin);
                break;
            case EDIT_BLANK:
                out.append(token.end - token.begin, ' ');
                break;
            case EDIT_RENAME:
                out.append(renames[i]);
                break;
            case EDIT_PREFIX:
                out.append("QP_");
                out.append(text, token.begin, token.end - token.begin);
                break;
            }
            copied = token.end;
        }
        out.append(text, copied, std::string::npos);
        return out;
    }

    const std::string& text;
    std::vector<Token> tokens;
    std::vector<Edit> edits;
    std::vector<const char*> renames;
    std::vector<std::size_t> closing;
    std::vector<std::size_t> stop;
    std::vector<std::size_t> greater;
};
} // namespace

void QP_RewriteEffectSyntax(std::string& text)
{
    std::string rewritten = Rewriter(text).Run();
    text.swap(rewritten);
}
