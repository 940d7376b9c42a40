// Implicit truncation warnings. Sections: the text's tokens by place, the tree walk.

#include "QP_TruncationWarnings.h"

#include "QP_HlslTokens.h"
#include "QP_InitialiserLists.h"

#define ENABLE_HLSL 1
#include <glslang/MachineIndependent/localintermediate.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace
{
constexpr std::size_t none = QP_HlslTokens::none;

// --- the text's tokens by place ----------------------------------------------------------------
// The front end's places are (file, line, column from 1) in the text it parsed: the same text,
// read as the guards read it.
class TokensByPlace : QP_HlslTokens
{
public:
    TokensByPlace(const std::string& text, const char* sourceName)
        : QP_HlslTokens(text, sourceName, QP_HlslScanner::ESCAPED_BREAKS_IN_STRINGS)
    {
        std::size_t lineStart = 0, scanned = 0;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            for (; scanned < tokens[i].begin; ++scanned) {
                if (text[scanned] == '\n')
                    lineStart = scanned + 1;
            }
            const int column = static_cast<int>(tokens[i].begin - lineStart) + 1;
            places[{fileNames[tokens[i].file], tokens[i].line, column}] = i;
        }
    }

    std::size_t Find(const std::string& file, int line, int column) const
    {
        const auto found = places.find({file, line, column});
        return found == places.end() ? none : found->second;
    }

    // True when the value at token i is narrowed on purpose: a cast (uint)v or (uint)(v + 1), or
    // the argument of a constructor uint(v + 1), of a scalar, vector or matrix type.
    bool NarrowedOnPurpose(std::size_t i) const
    {
        if (IsCast(i))
            return true;
        int depth = 0;
        for (std::size_t j = i; j-- > 0;) {
            if (Is(j, ')') || Is(j, ']')) {
                ++depth;
            } else if (Is(j, '(') || Is(j, '[')) {
                if (depth == 0)
                    return Is(j, '(') && (IsNumericType(j - 1) || IsCast(j));
                --depth;
            } else if (depth == 0 && (Is(j, ';') || Is(j, '{') || Is(j, '}') || Is(j, ',') || Is(j, '='))) {
                return false;
            }
        }
        return false;
    }

private:
    bool IsNumericType(std::size_t i) const
    {
        return i < tokens.size() && tokens[i].kind == QP_HlslScanner::NAME &&
               QP_NumericTypeComponents(text.data() + tokens[i].begin, tokens[i].end - tokens[i].begin) > 0;
    }
    // ( type ) right before token i.
    bool IsCast(std::size_t i) const { return i >= 3 && Is(i - 1, ')') && IsNumericType(i - 2) && Is(i - 3, '('); }

    std::map<std::tuple<std::string, int, int>, std::size_t> places;
};

// --- the tree walk -----------------------------------------------------------------------------
// A constructor of one vector argument whose result has fewer components: how the front end
// narrows, implicitly or not. Matrices are left alone.
class Truncations : public glslang::TIntermTraverser
{
public:
    bool visitAggregate(glslang::TVisit, glslang::TIntermAggregate* node) override
    {
        if (!node->isConstructor() || node->getSequence().size() != 1)
            return true;
        const glslang::TIntermTyped* value = node->getSequence()[0]->getAsTyped();
        if (!value || node->getType().isMatrix() || value->getType().isMatrix() || !value->getType().isVector() ||
            node->getType().isArray() || node->getType().isStruct() ||
            node->getType().getVectorSize() >= value->getType().getVectorSize())
            return true;
        places.insert({value->getLoc().getStringNameOrNum(false), value->getLoc().line, value->getLoc().column});
        return true;
    }

    std::set<std::tuple<std::string, int, int>> places;
};
} // namespace

void QP_WarnImplicitTruncations(const glslang::TIntermediate& tree, const std::string& text, const char* sourceName,
                                std::string& warnings)
{
    TIntermNode* root = tree.getTreeRoot();
    if (!root)
        return;
    Truncations truncations;
    root->traverse(&truncations); // traversal does not change the tree
    if (truncations.places.empty())
        return;
    const TokensByPlace tokens(text, sourceName);
    for (const auto& [file, line, column] : truncations.places) {
        const std::size_t token = tokens.Find(file, line, column);
        // A place the text does not show (made by the front end itself) warns of nothing.
        if (token == none || tokens.NarrowedOnPurpose(token))
            continue;
        warnings += "WARNING: " + file + ":" + std::to_string(line) + ": implicit truncation of vector type\n";
    }
}
