// HLSL forms rewritten for the front end (QP_HlslTokens reads and edits the text). Sections:
// select, unnamed entry parameters, statics inside buffers, narrowed call arguments.

#include "QP_HlslForms.h"

#include "QP_HlslTokens.h"
#include "QP_InitialiserLists.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <vector>

namespace
{
constexpr std::size_t none = QP_HlslTokens::none;

// Words that may stand before a parameter's type: not its type, not its name.
const char* const parameterQualifiers[] = {"in",     "out",      "inout",    "uniform",         "const",
                                           "linear", "centroid", "sample",   "nointerpolation", "noperspective",
                                           "point",  "line",     "triangle", "lineadj",         "triangleadj",
                                           "void"};

class FormRewriter : QP_HlslTokens
{
public:
    // Read as the front end reads the expanded text, so token lines and files match its messages.
    FormRewriter(const std::string& text, const char* entryPoint, const char* sourceName = nullptr)
        : QP_HlslTokens(text, sourceName, QP_HlslScanner::ESCAPED_BREAKS_IN_STRINGS), entryPoint(entryPoint ? entryPoint : "")
    {
    }

    using QP_HlslTokens::Write;

    std::string Run()
    {
        const bool ownSelect = DeclaresOwnSelect();
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (!ownSelect && Spells(i, "select") && !Is(i - 1, '.') && Is(i + 1, '('))
                RewriteSelect(i);
            else if (!this->entryPoint.empty() && Spells(i, this->entryPoint.c_str()) && IsName(i - 1) &&
                     !Spells(i - 1, "return") && Is(i + 1, '('))
                NameEntryParameters(i + 1);
            else if ((Spells(i, "cbuffer") || Spells(i, "tbuffer")) && IsName(i + 1))
                MoveStatics(i);
            else if (Is(i, ':') && !Is(i - 1, ':') && !Is(i + 1, ':') && IsName(i + 1) && SpellsAnyCase(i + 1, "SV_POSITION0"))
                Replace(i + 1, "SV_Position");
        }
        return Write();
    }

private:
    bool SpellsAnyCase(std::size_t i, const char* name) const
    {
        const std::size_t size = tokens[i].end - tokens[i].begin;
        if (std::strlen(name) != size)
            return false;
        for (std::size_t k = 0; k < size; ++k) {
            if (std::toupper(static_cast<unsigned char>(text[tokens[i].begin + k])) != name[k])
                return false;
        }
        return true;
    }

    // --- select ----------------------------------------------------------------------------------
    // A type name before select( declares a function of that name: then select is the text's own.
    bool DeclaresOwnSelect() const
    {
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            if (Spells(i, "select") && IsName(i - 1) && !Spells(i - 1, "return") && Is(i + 1, '('))
                return true;
        }
        return false;
    }

    // select ( c , a , b ) -> ( ( c ) ? ( a ) : ( b ) ); each token is edited on its own, so a
    // select inside an argument is rewritten too.
    void RewriteSelect(std::size_t name)
    {
        const std::size_t open = name + 1;
        if (partner[open] == none)
            return;
        const std::vector<std::size_t> commas = OwnCommas(open);
        if (commas.size() != 2)
            return; // the front end names the wrong call
        Replace(name, "");
        Replace(open, "((");
        Replace(commas[0], ") ? (");
        Replace(commas[1], ") : (");
        Replace(partner[open], "))");
    }

    // --- unnamed entry parameters ----------------------------------------------------------------
    bool IsQualifier(std::size_t i) const
    {
        for (const char* qualifier : parameterQualifiers) {
            if (Spells(i, qualifier))
                return true;
        }
        return false;
    }

    // In the parameter list opened at open, a parameter whose only name is its type, followed by
    // its semantic, is given a name after the type.
    void NameEntryParameters(std::size_t open)
    {
        if (partner[open] == none)
            return;
        std::vector<std::size_t> ends = OwnCommas(open);
        ends.push_back(partner[open]);
        std::size_t first = open + 1;
        for (std::size_t end : ends) {
            std::size_t names = 0, type = none, i = first;
            for (; i < end && !Is(i, ':') && !Is(i, '='); ++i) {
                if (Is(i, '<') || Is(i, '[')) {
                    // A template argument list or array size belongs to the type or the name.
                    while (i < end && !Is(i, '>') && !Is(i, ']'))
                        ++i;
                    continue;
                }
                if (IsName(i) && !IsQualifier(i)) {
                    ++names;
                    type = i;
                }
            }
            // Without a semantic it is no stage input either: left for the guards to refuse.
            if (names == 1 && Is(i, ':')) {
                std::size_t after = type + 1;
                if (Is(after, '<'))
                    while (after < end && !Is(after, '>'))
                        ++after;
                const std::size_t at = Is(after, '>') ? tokens[after].end : tokens[type].end;
                Insert(at, " QP_Unnamed" + std::to_string(unnamed++));
            }
            first = end + 1;
        }
    }

    // --- statics inside buffers --------------------------------------------------------------------
    // cbuffer NAME [: register(bN)] { ... static ...; ... }: each static declaration is blanked in
    // place (line breaks kept) and written, on one line, before the buffer's keyword.
    void MoveStatics(std::size_t keyword)
    {
        std::size_t open = keyword + 2;
        while (open < tokens.size() && !Is(open, '{') && !Is(open, ';') && !Is(open, '}'))
            ++open;
        if (!Is(open, '{') || partner[open] == none)
            return;
        const std::size_t close = partner[open];
        bool statementStart = true;
        for (std::size_t i = open + 1; i < close; ++i) {
            if (statementStart && Spells(i, "static")) {
                std::size_t end = i;
                while (end < close && !Is(end, ';')) {
                    if ((Is(end, '(') || Is(end, '[') || Is(end, '{')) && partner[end] != none && partner[end] < close)
                        end = partner[end];
                    ++end;
                }
                if (end == close)
                    return;
                std::string moved;
                for (std::size_t at = tokens[i].begin; at < tokens[end].end; ++at)
                    moved += text[at] == '\n' || text[at] == '\r' ? ' ' : text[at];
                Insert(tokens[keyword].begin, moved + " ");
                std::string blank;
                for (std::size_t at = tokens[i].begin; at < tokens[end].end; ++at)
                    blank += text[at] == '\n' || text[at] == '\r' ? text[at] : ' ';
                Edit(tokens[i].begin, tokens[end].end, blank);
                i = end;
                continue;
            }
            statementStart = Is(i, ';');
        }
    }

    // --- narrowed call arguments --------------------------------------------------------------------
public:
    // Casts the arguments of the calls of name on line of file to the parameter types of its one
    // definition; false when there is nothing to cast.
    bool NarrowCalls(const std::string& name, const std::string& file, int line)
    {
        std::size_t definition = none;
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            if (!Spells(i, name.c_str()) || !IsName(i - 1) || Spells(i - 1, "return") || !Is(i + 1, '(') ||
                partner[i + 1] == none || !(Is(partner[i + 1] + 1, '{') || Is(partner[i + 1] + 1, ':')))
                continue;
            if (definition != none)
                return false; // overloads: which one was meant is the front end's question
            definition = i;
        }
        if (definition == none)
            return false;
        const std::vector<std::string> casts = ParameterCasts(definition + 1);
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].line != line || fileNames[tokens[i].file] != file || !Spells(i, name.c_str()) ||
                !Is(i + 1, '(') || partner[i + 1] == none || i == definition)
                continue;
            std::vector<std::size_t> ends = OwnCommas(i + 1);
            ends.push_back(partner[i + 1]);
            if (ends.size() > casts.size() || ends.back() == i + 2)
                continue;
            std::size_t first = i + 2;
            for (std::size_t argument = 0; argument < ends.size(); ++argument) {
                if (!casts[argument].empty() && ends[argument] > first) {
                    Insert(tokens[first].begin, "((" + casts[argument] + ")(");
                    Insert(tokens[ends[argument] - 1].end, "))");
                }
                first = ends[argument] + 1;
            }
        }
        return Edited();
    }

private:
    // For each parameter of the list opened at open: its type where an argument may be cast to
    // it (a scalar, vector or matrix the function reads), empty otherwise.
    std::vector<std::string> ParameterCasts(std::size_t open) const
    {
        std::vector<std::string> casts;
        std::vector<std::size_t> ends = OwnCommas(open);
        ends.push_back(partner[open]);
        std::size_t first = open + 1;
        for (std::size_t end : ends) {
            std::string cast;
            bool written = false;
            for (std::size_t i = first; i < end && !Is(i, ':') && !Is(i, '='); ++i) {
                written = written || Spells(i, "out") || Spells(i, "inout");
                if (!IsName(i) || IsQualifier(i))
                    continue;
                const std::string word = text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin);
                if (QP_NumericTypeComponents(word.data(), word.size()) > 0 && !Is(i + 1, '<'))
                    cast = word;
                break;
            }
            casts.push_back(written ? std::string() : cast);
            first = end + 1;
        }
        return casts;
    }

    const std::string entryPoint;
    int unnamed = 0;
};
} // namespace

void QP_RewriteHlslForms(std::string& text, const char* entryPoint)
{
    std::string rewritten = FormRewriter(text, entryPoint).Run();
    text.swap(rewritten);
}

bool QP_NarrowCallArguments(std::string& text, const std::string& log, const char* sourceName, std::string& warnings)
{
    // "ERROR: FILE:LINE: 'NAME' : no matching overloaded function found"
    static const char refusal[] = "' : no matching overloaded function found";
    const std::size_t at = log.find(refusal);
    if (at == std::string::npos)
        return false;
    const std::size_t lineStart = log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
    const std::size_t quote = log.rfind('\'', at - 1);
    static const char tag[] = "ERROR: ";
    if (quote == std::string::npos || quote < lineStart + sizeof(tag) + 2 || log.compare(lineStart, sizeof(tag) - 1, tag) != 0 ||
        log.compare(quote - 2, 2, ": ") != 0)
        return false;
    const std::string place = log.substr(lineStart + sizeof(tag) - 1, quote - 2 - (lineStart + sizeof(tag) - 1));
    const std::size_t colon = place.rfind(':');
    if (colon == std::string::npos || colon + 1 == place.size() ||
        place.find_first_not_of("0123456789", colon + 1) != std::string::npos || place.size() - colon > 9)
        return false;
    const std::string file = place.substr(0, colon);
    const int line = std::stoi(place.substr(colon + 1));
    const std::string name = log.substr(quote + 1, at - quote - 1);
    FormRewriter rewriter(text, nullptr, sourceName);
    if (!rewriter.NarrowCalls(name, file, line))
        return false;
    text = rewriter.Write();
    warnings += "WARNING: " + place + ": '" + name +
                "' : implicit truncation of vector type: the arguments are converted to the parameter types\n";
    return true;
}
