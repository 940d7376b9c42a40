// Flat initialiser lists given their braces. Sections: shapes (what a type holds), the
// structures the text declares, the lists.

#include "QP_InitialiserLists.h"

#include "QP_HlslTokens.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace
{
constexpr std::size_t none = QP_HlslTokens::none;
// Past this many components a type is too large to be filled from a list anyway.
constexpr std::uint64_t kLargestSize = 1u << 24;
// Structures inside structures deeper than this are left to the front end.
constexpr int kDeepestNesting = 32;

// --- shapes ------------------------------------------------------------------------------------
// A scalar, vector or matrix is one leaf of size components; an array repeats its element; a
// structure lists its members. Shapes live in one pool and name each other by index, so a
// structure used many times is stored once.
struct Shape
{
    enum Kind : unsigned char
    {
        LEAF,
        ARRAY,
        STRUCT,
    } kind = LEAF;
    std::uint64_t size = 0;            // components in all (at most kLargestSize)
    std::uint64_t count = 0;           // an array's elements
    std::vector<std::size_t> children; // an array's element, a structure's members
};

class Nester : QP_HlslTokens
{
public:
    explicit Nester(const std::string& text)
        : QP_HlslTokens(text, nullptr, QP_HlslScanner::CONTINUED_DIRECTIVES | QP_HlslScanner::FORM_FEEDS_AS_SPACE)
    {
    }

    std::string Run()
    {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (Spells(i, "struct") && IsName(i + 1) && Is(i + 2, '{'))
                ReadStructure(i);
            else if (Is(i, '=') && Is(i + 1, '{') && !Is(i - 1, '=') && !Is(i - 1, '!') && !Is(i - 1, '<') &&
                     !Is(i - 1, '>'))
                NestList(i);
        }
        return Write();
    }

private:
    // The shape a type name stands for: a builtin or a structure read so far; none otherwise.
    std::size_t TypeShape(std::size_t i)
    {
        if (!IsName(i))
            return none;
        const std::string word = Word(i);
        const std::uint64_t size = QP_NumericTypeComponents(word.data(), word.size());
        if (size > 0) {
            auto found = leaves.find(size);
            if (found != leaves.end())
                return found->second;
            Shape leaf;
            leaf.size = size;
            shapes.push_back(leaf);
            return leaves[size] = shapes.size() - 1;
        }
        auto found = structures.find(word);
        return found == structures.end() ? none : found->second;
    }

    // Array dimensions after a declared name at i: [N] with a number size each, the first one
    // empty where allowUnsized. The shape of the element type wrapped in them (none when a size
    // is not a number); *unsized when the first one is empty; *next the token after them.
    std::size_t WithDimensions(std::size_t element, std::size_t i, bool allowUnsized, bool* unsized, std::size_t* next)
    {
        std::vector<std::uint64_t> counts;
        *unsized = false;
        while (Is(i, '[')) {
            if (allowUnsized && counts.empty() && Is(i + 1, ']')) {
                *unsized = true;
                counts.push_back(0);
                i += 2;
                continue;
            }
            if (i + 2 >= tokens.size() || tokens[i + 1].kind != QP_HlslScanner::NUMBER || !Is(i + 2, ']'))
                return none;
            std::uint64_t count = 0;
            for (std::size_t at = tokens[i + 1].begin; at < tokens[i + 1].end && count <= kLargestSize; ++at) {
                if (!std::isdigit(static_cast<unsigned char>(text[at])))
                    return none;
                count = count * 10 + static_cast<std::uint64_t>(text[at] - '0');
            }
            if (count == 0 || count > kLargestSize)
                return none;
            counts.push_back(count);
            i += 3;
        }
        *next = i;
        std::size_t shape = element;
        for (std::size_t d = counts.size(); d-- > 0;) {
            Shape array;
            array.kind = Shape::ARRAY;
            array.count = counts[d];
            array.size = std::min(kLargestSize + 1, shapes[shape].size * std::max<std::uint64_t>(counts[d], 1));
            array.children.push_back(shape);
            shapes.push_back(array);
            shape = shapes.size() - 1;
        }
        return shape;
    }

    // --- the structures the text declares --------------------------------------------------------
    // struct NAME { [modifiers] TYPE name[N] [: SEMANTIC], other; ... }: a shape when every member
    // has one; a structure it cannot read is not recorded, so lists of it are left alone.
    void ReadStructure(std::size_t keyword)
    {
        const std::size_t open = keyword + 2;
        const std::size_t close = partner[open];
        if (close == none)
            return;
        Shape structure;
        structure.kind = Shape::STRUCT;
        std::size_t type = none;
        for (std::size_t i = open + 1; i < close;) {
            if (Is(i, ';')) {
                type = none;
                ++i;
                continue;
            }
            if (type == none) {
                // The last name before the first declarator is the type: skip modifiers.
                std::size_t j = i;
                while (IsName(j) && IsName(j + 1))
                    ++j;
                if (j == i || !IsName(j))
                    return;
                type = TypeShape(j - 1);
                if (type == none)
                    return;
                i = j;
            }
            if (!IsName(i))
                return;
            bool unsized = false;
            std::size_t next = i + 1;
            const std::size_t member = WithDimensions(type, i + 1, false, &unsized, &next);
            if (member == none)
                return;
            structure.children.push_back(member);
            structure.size = std::min(kLargestSize + 1, structure.size + shapes[member].size);
            if (Is(next, ':') && IsName(next + 1))
                next += 2;
            if (Is(next, ',') && IsName(next + 1)) {
                i = next + 1;
            } else if (Is(next, ';')) {
                i = next;
            } else {
                return;
            }
        }
        if (structure.children.empty())
            return;
        shapes.push_back(structure);
        structures[Word(keyword + 1)] = shapes.size() - 1;
    }

    // --- the lists -------------------------------------------------------------------------------
    // TYPE name[...] = { ... }: the list at equals + 1 given its braces where its type needs them.
    void NestList(std::size_t equals)
    {
        const std::size_t open = equals + 1;
        const std::size_t close = partner[open];
        if (close == none)
            return;
        // Back from the = over the dimensions to the name and its type.
        std::size_t nameAt = equals - 1;
        while (nameAt < tokens.size() && Is(nameAt, ']')) {
            const std::size_t opener = partner[nameAt];
            if (opener == none || opener == 0)
                return;
            nameAt = opener - 1;
        }
        if (nameAt == 0 || !IsName(nameAt) || nameAt >= equals)
            return;
        const std::size_t element = TypeShape(nameAt - 1);
        if (element == none)
            return;
        bool unsized = false;
        std::size_t next = nameAt + 1;
        std::size_t shape = WithDimensions(element, nameAt + 1, true, &unsized, &next);
        if (shape == none || next != equals || shapes[shape].kind == Shape::LEAF)
            return;
        if (!ReadItems(open, close))
            return;
        if (unsized) {
            std::uint64_t total = 0;
            for (const Item& item : items)
                total += item.size;
            const std::uint64_t elementSize = shapes[shapes[shape].children[0]].size;
            if (elementSize == 0 || total == 0 || total % elementSize != 0)
                return;
            Shape sized = shapes[shape];
            sized.count = total / elementSize;
            shapes.push_back(sized);
            shape = shapes.size() - 1;
        }
        std::size_t consumed = 0;
        for (Item& item : items)
            item.opens = item.closes = 0;
        if (!Fill(shape, consumed, true, 0) || consumed != items.size())
            return;
        for (const Item& item : items) {
            if (item.opens > 0)
                Insert(tokens[item.first].begin, std::string(item.opens, '{'));
            if (item.closes > 0)
                Insert(tokens[item.last].end, std::string(item.closes, '}'));
        }
    }

    // The items of the list between the braces at open and close, split at its own commas; false
    // when the list holds braces of its own or an empty item (a trailing comma ends it).
    bool ReadItems(std::size_t open, std::size_t close)
    {
        items.clear();
        std::size_t first = open + 1;
        for (std::size_t i = open + 1; i <= close; ++i) {
            if (Is(i, '{'))
                return false;
            if (Is(i, '(') || Is(i, '[')) {
                if (partner[i] == none || partner[i] > close)
                    return false;
                i = partner[i];
                continue;
            }
            if (!Is(i, ',') && i != close)
                continue;
            if (i == first) {
                if (i == close && !items.empty())
                    break;
                return false;
            }
            items.push_back({first, i - 1, ItemSize(first, i - 1), 0, 0});
            first = i + 1;
        }
        return !items.empty();
    }

    // A vector or matrix constructor call fills its components; anything else is one scalar.
    std::uint64_t ItemSize(std::size_t first, std::size_t last)
    {
        if (IsName(first) && Is(first + 1, '(') && partner[first + 1] == last) {
            const std::string word = Word(first);
            const std::uint64_t size = QP_NumericTypeComponents(word.data(), word.size());
            if (size > 0)
                return size;
        }
        return 1;
    }

    // Consumes the items that fill shape from items[at], marking the braces each needs; the list's
    // own braces stand for the outermost level.
    bool Fill(std::size_t index, std::size_t& at, bool outermost, int depth)
    {
        if (depth > kDeepestNesting || at >= items.size())
            return false;
        const Shape& shape = shapes[index];
        if (shape.kind == Shape::LEAF) {
            if (items[at].size == shape.size) {
                ++at;
                return true;
            }
            if (at + shape.size > items.size())
                return false;
            for (std::size_t i = at; i < at + shape.size; ++i) {
                if (items[i].size != 1)
                    return false;
            }
            ++items[at].opens;
            ++items[at + shape.size - 1].closes;
            at += shape.size;
            return true;
        }
        const std::size_t first = at;
        if (shape.kind == Shape::ARRAY) {
            const std::size_t element = shape.children[0];
            for (std::uint64_t k = 0; k < shape.count; ++k) {
                if (!Fill(element, at, false, depth + 1))
                    return false;
            }
        } else {
            const std::vector<std::size_t> members = shape.children; // the pool may grow meanwhile
            for (std::size_t member : members) {
                if (!Fill(member, at, false, depth + 1))
                    return false;
            }
        }
        if (!outermost) {
            ++items[first].opens;
            ++items[at - 1].closes;
        }
        return true;
    }

    struct Item
    {
        std::size_t first, last; // its tokens
        std::uint64_t size;      // components it fills
        std::uint32_t opens, closes;
    };
    std::vector<Shape> shapes;
    std::map<std::uint64_t, std::size_t> leaves;
    std::map<std::string, std::size_t> structures;
    std::vector<Item> items;
};
} // namespace

void QP_NestInitialiserLists(std::string& text)
{
    std::string nested = Nester(text).Run();
    text.swap(nested);
}

std::uint64_t QP_NumericTypeComponents(const char* name, std::size_t size)
{
    static const char* const scalars[] = {"float",      "half",       "double",   "int",      "uint",     "bool",
                                          "dword",      "min16float", "min10float", "min16int", "min12int",
                                          "min16uint"};
    for (const char* scalar : scalars) {
        const std::size_t length = std::strlen(scalar);
        if (size < length || std::strncmp(name, scalar, length) != 0)
            continue;
        const char* suffix = name + length;
        const std::size_t rest = size - length;
        auto dimension = [](char c) { return c >= '1' && c <= '4' ? static_cast<std::uint64_t>(c - '0') : 0u; };
        if (rest == 0)
            return 1;
        if (rest == 1)
            return dimension(suffix[0]);
        if (rest == 3 && suffix[1] == 'x')
            return dimension(suffix[0]) * dimension(suffix[2]);
    }
    return 0;
}
