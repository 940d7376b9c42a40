# Libraries that frame/ links privately, beyond SDL2 and LodePNG. Each layer that needs a
# Debian package finds it here and appends its imported target to VC_FRAME_LIBRARIES.
set(VC_FRAME_LIBRARIES "")

# Audio (frame/qa): the Ogg Vorbis decoder is stb_vorbis from libstb-dev, whose single header
# carries the implementation; frame/qa/QA_StbVorbis.cpp compiles it, so nothing is linked.
# libvorbisenc writes the Ogg files that the audio tests and benchmark decode: it is a test and
# benchmark dependency only, never linked into frame.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
set(VC_TEST_LIBRARIES_audio PkgConfig::VORBISENC)
set(VC_BENCH_LIBRARIES_audio PkgConfig::VORBISENC)
# The demo suite writes a short music file for the demo object's tests; the demo's benchmark
# drives the demo object itself (lm1).
set(VC_TEST_LIBRARIES_demo PkgConfig::VORBISENC)
set(VC_BENCH_LIBRARIES_demo lm1)
# Every scene of the demo drawn through its scene part.
set(VC_BENCH_LIBRARIES_scenes lm1)
# The workbench's overlay lives in the demo's sources.
set(VC_BENCH_LIBRARIES_devmode lm1)

# The soundtrack's synthesiser (tools/synth): a static library that vc-synth, the synth suite
# and its benchmark link; it writes Ogg Vorbis through libvorbisenc.
file(GLOB VC_SYNTH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/synth/*.cpp)
add_library(vcsynth STATIC ${VC_SYNTH_SOURCES})
target_include_directories(vcsynth PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(vcsynth PUBLIC frame PRIVATE PkgConfig::VORBISENC)
set(VC_TOOL_LIBRARIES_vc-synth vcsynth)
set(VC_TEST_LIBRARIES_synth vcsynth)
set(VC_BENCH_LIBRARIES_synth vcsynth)

# MIDI input (frame/qp/QP_MidiInput only): RtMidi, opened on the ALSA sequencer.
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
list(APPEND VC_FRAME_LIBRARIES PkgConfig::RTMIDI)

# Graphics (frame/qp): GL entry points through libepoxy (which loads libEGL/libGL itself), the
# HLSL front end (glslang; its CMake package also names glslang-tools' validator), the SPIR-V
# validator (SPIRV-Tools) and the GLSL writer (SPIRV-Cross, its static C++ libraries).
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
find_package(glslang REQUIRED CONFIG)
find_package(SPIRV-Tools REQUIRED CONFIG)
find_package(spirv_cross_core REQUIRED CONFIG)
find_package(spirv_cross_glsl REQUIRED CONFIG)
list(APPEND VC_FRAME_LIBRARIES PkgConfig::EPOXY glslang::glslang glslang::HLSL glslang::SPIRV
    glslang::glslang-default-resource-limits SPIRV-Tools-static spirv-cross-glsl spirv-cross-core ${CMAKE_DL_LIBS})
# glslang is built without RTTI: the sanitiser's vptr check would need its type information, in
# every unit that includes glslang's headers.
set_source_files_properties(
    ${CMAKE_SOURCE_DIR}/frame/qp/QP_ShaderCompiler.cpp
    ${CMAKE_SOURCE_DIR}/frame/qp/QP_ShaderPreprocessor.cpp
    ${CMAKE_SOURCE_DIR}/frame/qp/QP_ShaderRegisters.cpp
    PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)

# Fonts (frame/qp/QP_FontLibrary and QP_FontFace only): FreeType rasterises the glyphs,
# fontconfig maps the demo's system font paths to installed families.
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
list(APPEND VC_FRAME_LIBRARIES PkgConfig::FREETYPE PkgConfig::FONTCONFIG)

# The launcher (frame/qp/QP_GuiWindow only): Dear ImGui, whose SDL2 and OpenGL3 backends Debian
# compiles into libimgui.a; the OpenGL3 backend loads the GL entry points it uses by itself.
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
list(APPEND VC_FRAME_LIBRARIES PkgConfig::IMGUI)

# Video capture (frame/qp/QP_VideoEncoder only): FFmpeg's codec, container, picture-conversion
# and sound-conversion libraries. The demo suite and the video benchmark read the captures back
# with the ffprobe and ffmpeg programs, so they link nothing more.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavcodec libavformat libavutil libswscale libswresample)
list(APPEND VC_FRAME_LIBRARIES PkgConfig::FFMPEG)
