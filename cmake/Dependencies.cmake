# The Debian packages the rooms link. Each package is found here once; cmake/Rooms.cmake says
# which room links it, always privately, so no header of theirs reaches a room above frame/qp.

# Images (frame/qc/QC_Image) and the offline renderer's PNG frames: LodePNG, a plain library.
# zlib: the offline renderer's fast deflate for its PNG frames.
find_package(ZLIB REQUIRED)

# Audio (frame/qa): the Ogg Vorbis decoder is stb_vorbis from libstb-dev, whose single header
# carries the implementation; frame/qa/QA_StbVorbis.cpp compiles it, so nothing is linked.
# libvorbisenc writes the Ogg files that the audio tests and benchmark decode, and the
# synthesiser's music: never linked into the engine.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)

# MIDI input (frame/qp/audio/QP_MidiInput only): RtMidi, opened on the ALSA sequencer.
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)

# Graphics (frame/qp/gpu): GL entry points through libepoxy (which loads libEGL/libGL itself).
# Shaders (frame/qp/shader): the HLSL front end (glslang; its CMake package also names
# glslang-tools' validator), the SPIR-V validator (SPIRV-Tools) and the GLSL writer
# (SPIRV-Cross, its static C++ libraries).
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
find_package(glslang REQUIRED CONFIG)
find_package(SPIRV-Tools REQUIRED CONFIG)
find_package(spirv_cross_core REQUIRED CONFIG)
find_package(spirv_cross_glsl REQUIRED CONFIG)
set(VC_SHADER_LIBRARIES glslang::glslang glslang::HLSL glslang::SPIRV glslang::glslang-default-resource-limits
    SPIRV-Tools-static spirv-cross-glsl spirv-cross-core)

# Fonts (frame/qp/text): FreeType rasterises the glyphs, fontconfig maps the demo's system font
# paths to installed families.
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)

# The launcher (frame/qp/window/QP_GuiWindow only): Dear ImGui, whose SDL2 and OpenGL3 backends
# Debian compiles into libimgui.a; the OpenGL3 backend loads the GL entry points it uses by itself.
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)

# Video capture (frame/qp/media): FFmpeg's codec, container, picture-conversion and
# sound-conversion libraries. The demo's render suite and the video benchmark read the captures
# back with the ffprobe and ffmpeg programs, so they link nothing more.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavcodec libavformat libavutil libswscale libswresample)
