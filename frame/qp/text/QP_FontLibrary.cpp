#include "QP_FontLibrary.h"

// With QP_FontFace, the only units that include FreeType; the only unit that includes
// fontconfig.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_LCD_FILTER_H
#include <fontconfig/fontconfig.h>

#include <cctype>
#include <cstring>
#include <sys/stat.h>

QP_FontLibrary::~QP_FontLibrary()
{
    if (handle)
        Done();
}

int QP_FontLibrary::Init()
{
    if (handle)
        return 0;
    FT_Library library = nullptr;
    const FT_Error error = FT_Init_FreeType(&library);
    if (error == 0)
        handle = library;
    return error;
}

int QP_FontLibrary::SetDefaultLcdFilter()
{
    return FT_Library_SetLcdFilter(static_cast<FT_Library>(handle), FT_LCD_FILTER_DEFAULT);
}

int QP_FontLibrary::SetLcdFilterWeights(const std::uint8_t weights[5])
{
    unsigned char taps[5];
    std::memcpy(taps, weights, 5);
    return FT_Library_SetLcdFilterWeights(static_cast<FT_Library>(handle), taps);
}

int QP_FontLibrary::Done()
{
    if (!handle)
        return 0;
    const FT_Error error = FT_Done_FreeType(static_cast<FT_Library>(handle));
    handle = nullptr;
    return error;
}

namespace {

// Which installed family stands in for a font of the other system, by its file's base name
// (lower case, no extension). Names not listed are asked for as a family of their own name.
struct SystemFontKind
{
    const char* baseName;
    const char* pattern;
};

const SystemFontKind systemFontKinds[] = {
    {"consola", "monospace"},       {"consolab", "monospace:bold"}, {"consolai", "monospace:italic"},
    {"consolaz", "monospace:bold:italic"}, {"cour", "monospace"},   {"courbd", "monospace:bold"},
    {"lucon", "monospace"},         {"micross", "sans-serif"},      {"arial", "sans-serif"},
    {"arialbd", "sans-serif:bold"}, {"tahoma", "sans-serif"},       {"tahomabd", "sans-serif:bold"},
    {"verdana", "sans-serif"},      {"verdanab", "sans-serif:bold"}, {"segoeui", "sans-serif"},
    {"calibri", "sans-serif"},      {"times", "serif"},             {"timesbd", "serif:bold"},
    {"georgia", "serif"},           {"cambria", "serif"},
};

bool FileExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

// The file name after "<drive>:\Windows\Fonts\" (either slash, any case), or null.
const char* SystemFontFileName(const char* path)
{
    static const char prefix[] = "windows/fonts/";
    if (!std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
        return nullptr;
    const char* rest = path + 3;
    for (std::size_t i = 0; prefix[i]; ++i) {
        const char c = rest[i];
        if (prefix[i] == '/' ? (c != '\\' && c != '/') : std::tolower(static_cast<unsigned char>(c)) != prefix[i])
            return nullptr;
    }
    const char* name = rest + sizeof(prefix) - 1;
    if (!*name || std::strchr(name, '\\') || std::strchr(name, '/'))
        return nullptr;
    return name;
}

} // namespace

bool QP_ResolveSystemFontPath(const char* path, char* resolved, std::size_t capacity)
{
    if (!path || !resolved || capacity == 0 || FileExists(path))
        return false;
    const char* fileName = SystemFontFileName(path);
    if (!fileName)
        return false;

    // Lower-case base name, cut at the extension; a name too long for any font is not mapped.
    char baseName[64];
    std::size_t length = 0;
    for (; fileName[length] && fileName[length] != '.'; ++length) {
        if (length + 1 >= sizeof(baseName))
            return false;
        baseName[length] = static_cast<char>(std::tolower(static_cast<unsigned char>(fileName[length])));
    }
    baseName[length] = '\0';
    if (length == 0)
        return false;
    const char* patternText = baseName;
    for (const SystemFontKind& kind : systemFontKinds)
        if (std::strcmp(kind.baseName, baseName) == 0)
            patternText = kind.pattern;

    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config)
        return false;
    bool found = false;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(patternText));
    if (pattern) {
        // Scalable outlines only: the rasteriser sizes every font freely.
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        if (match) {
            FcChar8* file = nullptr;
            if (result == FcResultMatch && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                const std::size_t fileLength = std::strlen(reinterpret_cast<const char*>(file));
                if (fileLength < capacity) {
                    std::memcpy(resolved, file, fileLength + 1);
                    found = true;
                }
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return found;
}
