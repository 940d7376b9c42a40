#pragma once
// Random well-formed sequencer scripts in the many layouts authors write: every channel kind,
// keys absolute and relative ('+'), numbers in their odd spellings ("2.", "-.5", "007"),
// blanks, CR LF line ends, line and block comments between any two tokens, a byte-order mark,
// channels assigned twice. Splines have ascending key beats, as scripts should. The same seed
// gives the same script.
//
//   std::mt19937 random(seed);
//   const std::string text = RandomScript(random);

#include <random>
#include <string>

namespace random_script
{
inline int Between(std::mt19937& random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

inline bool Chance(std::mt19937& random, int percent)
{
    return Between(random, 1, 100) <= percent;
}

// Nothing, blanks, or comments: whatever may stand between two tokens.
inline std::string Gap(std::mt19937& random)
{
    static const char* const pieces[] = {"",   " ",       "  ",          "\t", "\n",   "\r\n",
                                         "\n    ", " /* note */ ", "// a line\n", "/*\n*/", " // x\r\n  "};
    std::string gap;
    const int count = Chance(random, 40) ? 0 : Between(random, 1, 2);
    for (int i = 0; i < count; ++i)
        gap += pieces[Between(random, 0, int(std::size(pieces)) - 1)];
    return gap;
}

// A number in one of the spellings the format allows, for a value of about magnitude.
inline std::string Number(std::mt19937& random, bool allowNegative)
{
    std::string sign = allowNegative && Chance(random, 30) ? "-" : "";
    switch (Between(random, 0, 6)) {
    case 0:
        return sign + std::to_string(Between(random, 0, 20));
    case 1:
        return sign + std::to_string(Between(random, 0, 9)) + "." + std::to_string(Between(random, 0, 99));
    case 2:
        return sign + std::to_string(Between(random, 0, 9)) + ".";
    case 3:
        return (sign.empty() ? "0" : "-") + std::string(".") + std::to_string(Between(random, 1, 9));
    case 4:
        return sign + "00" + std::to_string(Between(random, 0, 9));
    case 5:
        return sign + "0.07";
    default:
        return sign + std::to_string(Between(random, 0, 3)) + ".250";
    }
}

// Keys with ascending beats: each a step of 0.25 to 16 beats after the one before.
inline std::string Keys(std::mt19937& random)
{
    std::string keys;
    const int count = Between(random, 1, 6);
    double beat = 0.0;
    for (int i = 0; i < count; ++i) {
        const double step = i == 0 ? Between(random, 0, 8) : Between(random, 1, 64) * 0.25;
        beat += step;
        const bool relative = i > 0 && Chance(random, 35);
        std::string beatText;
        if (relative) {
            char buffer[32];
            std::snprintf(buffer, sizeof(buffer), "%g", step);
            beatText = "+" + Gap(random) + buffer;
        } else {
            char buffer[32];
            std::snprintf(buffer, sizeof(buffer), Chance(random, 20) ? "%.2f" : "%g", beat);
            beatText = buffer;
        }
        if (i > 0)
            keys += Gap(random) + "," + Gap(random);
        keys += beatText + Gap(random) + ":" + Gap(random) + Number(random, true);
    }
    return keys;
}

inline std::string Statement(std::mt19937& random, int channel)
{
    static const char* const kinds[] = {"linear", "catmullrom", "constant"};
    std::string body;
    switch (Between(random, 0, 5)) {
    case 0:
    case 1:
        body = Number(random, true);
        break;
    case 2:
        body = "beat" + Gap(random) + "(" + Gap(random) + Number(random, true) + Gap(random) + ")";
        break;
    default:
        body = std::string(kinds[Between(random, 0, 2)]) + Gap(random) + "(" + Gap(random) + Keys(random) +
               Gap(random) + ")";
        break;
    }
    return std::to_string(channel) + Gap(random) + "=" + Gap(random) + body + Gap(random) + ";";
}
} // namespace random_script

inline std::string RandomScript(std::mt19937& random)
{
    using namespace random_script;
    std::string script = Chance(random, 10) ? "\xEF\xBB\xBF" : "";
    const int statements = Between(random, 1, 8);
    for (int i = 0; i < statements; ++i)
        script += Gap(random) + Statement(random, Between(random, 0, 12) * (Chance(random, 20) ? 100 : 1)) + "\n";
    return script + Gap(random);
}
