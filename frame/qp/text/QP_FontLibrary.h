#pragma once
// The platform's font rasteriser library (FreeType) and the lookup of system fonts.
//
//   QP_FontLibrary library;
//   int error = library.Init();                      // 0: ready
//   error = library.SetDefaultLcdFilter();
//   const std::uint8_t weights[5] = {0x10, 0x40, 0x75, 0x40, 0x10};
//   error = library.SetLcdFilterWeights(weights);
//   ...                                              // open QP_FontFace objects with it
//   error = library.Done();                          // also releases every face still open
//
// Every operation returns the library's own error code (0 is success); nothing is thrown and
// nothing is logged here, the caller words the report. Not locked: the caller serialises all
// use of a library and of its faces. Nothing outside frame/qp includes a FreeType or fontconfig
// header; this file includes none either.

#include <cstddef>
#include <cstdint>

class QP_FontLibrary
{
public:
    QP_FontLibrary() = default;
    // Done() when still initialised.
    ~QP_FontLibrary();
    QP_FontLibrary(const QP_FontLibrary&) = delete;
    QP_FontLibrary& operator=(const QP_FontLibrary&) = delete;

    int Init();
    // The library's default LCD filter for subpixel coverage.
    int SetDefaultLcdFilter();
    // Five filter taps, centre in the middle.
    int SetLcdFilterWeights(const std::uint8_t weights[5]);
    // Releases the library and every face opened with it; afterwards IsInitialised() is false
    // even when the library reported an error.
    int Done();

    bool IsInitialised() const { return handle != nullptr; }
    // The library handle for QP_FontFace; null while not initialised.
    void* Handle() const { return handle; }

private:
    void* handle = nullptr;
};

// Maps a font path of the system the demo was written for ("C:\Windows\Fonts\consola.ttf")
// to an installed font file of the same kind, through the system's font configuration:
// consola (and the other fixed-pitch faces) to a monospace family, micross and the other UI
// faces to a sans family, the serif faces to a serif family; any other name is asked for as a
// family of that name. Only paths under <drive>:\Windows\Fonts\ (either slash, any case) are
// mapped, and only when no file of that name exists. Writes the installed file's path into
// resolved (NUL-terminated) and returns true; false when the path is not such a path, no font
// matched, or the match does not fit in capacity bytes.
bool QP_ResolveSystemFontPath(const char* path, char* resolved, std::size_t capacity);
