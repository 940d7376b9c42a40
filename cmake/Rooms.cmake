# The rooms of the engine and the demo, and the layering rules between them.
#
# Every room is one folder and one library. A room's folder is its only public include
# directory, and a unit includes another room's header by the unit's name alone
# ("QR_Renderer.h"), so a header is found only where the including room, or a room it uses
# publicly, declares the room that holds it. An include across a direction not declared here
# does not build: that is the whole enforcement, there is no second list. docs/architecture.md
# draws the same rules as a picture.
#
#   vc_room(TARGET FOLDER [USES room...] [USES_PRIVATE room...] [LIBRARIES lib...])
#
# USES: rooms whose headers this room's own headers include (its users see them too).
# USES_PRIVATE: rooms only this room's .cpp files include.
# LIBRARIES: third-party libraries, always private.

function(vc_room target folder)
    cmake_parse_arguments(ROOM "" "" "USES;USES_PRIVATE;LIBRARIES;EXTRA_SOURCES;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    foreach(excluded ${ROOM_EXCLUDE})
        list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${folder}/${excluded})
    endforeach()
    add_library(${target} STATIC ${sources} ${ROOM_EXTRA_SOURCES})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/${folder})
    target_link_libraries(${target} PUBLIC ${ROOM_USES} PRIVATE ${ROOM_USES_PRIVATE} ${ROOM_LIBRARIES})
    set_property(GLOBAL APPEND PROPERTY VC_ROOMS ${target})
endfunction()

# --- frame/qp: the platform layer, one room per concern --------------------------------------
# sys is what the core stands on: C++, POSIX and the fatal message box, nothing of ours.
vc_room(qp_sys frame/qp/sys USES Threads::Threads LIBRARIES PkgConfig::SDL2)
# --- frame/qc: the core ---------------------------------------------------------------------
vc_room(qc frame/qc USES qp_sys LIBRARIES lodepng)
# The rest of frame/qp may use the core.
vc_room(qp_files frame/qp/files USES qc)
vc_room(qp_gpu frame/qp/gpu USES qc LIBRARIES PkgConfig::EPOXY PkgConfig::SDL2 ${CMAKE_DL_LIBS})
vc_room(qp_shader frame/qp/shader USES qp_gpu qp_files LIBRARIES ${VC_SHADER_LIBRARIES})
vc_room(qp_text frame/qp/text LIBRARIES PkgConfig::FREETYPE PkgConfig::FONTCONFIG)
vc_room(qp_window frame/qp/window USES qp_sys USES_PRIVATE qc qp_gpu qp_text
        LIBRARIES PkgConfig::SDL2 PkgConfig::IMGUI PkgConfig::EPOXY)
vc_room(qp_audio frame/qp/audio LIBRARIES PkgConfig::SDL2 PkgConfig::RTMIDI)
# media loads its codec module at run time; only the module links the codec libraries, so the
# program's start does not load them (see QP_VideoBackend.h).
vc_room(qp_media frame/qp/media USES_PRIVATE qp_sys LIBRARIES ${CMAKE_DL_LIBS} EXCLUDE QP_FFmpegEncoder.cpp)
add_library(velvet-cascade-video MODULE ${CMAKE_SOURCE_DIR}/frame/qp/media/QP_FFmpegEncoder.cpp)
set_target_properties(velvet-cascade-video PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    CXX_VISIBILITY_PRESET hidden)
target_include_directories(velvet-cascade-video PRIVATE ${CMAKE_SOURCE_DIR}/frame/qp/media)
target_link_libraries(velvet-cascade-video PRIVATE PkgConfig::FFMPEG)
# Whatever links media gets the module built beside it.
add_dependencies(qp_media velvet-cascade-video)
# glslang is built without RTTI: the sanitiser's vptr check would need its type information, in
# every unit that includes glslang's headers.
set_source_files_properties(
    ${CMAKE_SOURCE_DIR}/frame/qp/shader/QP_ShaderCompiler.cpp
    ${CMAKE_SOURCE_DIR}/frame/qp/shader/QP_ShaderPreprocessor.cpp
    ${CMAKE_SOURCE_DIR}/frame/qp/shader/QP_ShaderRegisters.cpp
    ${CMAKE_SOURCE_DIR}/frame/qp/shader/QP_TruncationWarnings.cpp
    PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)

# --- frame/qr: the renderer ------------------------------------------------------------------
# The shading language knows no backend; the interface knows no platform; only the backends
# reach the graphics device and the shader compiler. The interface creates the backend the
# settings name, so it links them privately: nothing of theirs reaches its users.
vc_room(qr_shading frame/qr/shading USES qc)
vc_room(qr frame/qr USES qc USES_PRIVATE qr_dx10 qr_dx11)
vc_room(qr_dx10 frame/qr/dx10 USES qr qr_shading qp_gpu qp_files USES_PRIVATE qp_shader)
vc_room(qr_dx11 frame/qr/dx11 USES qr_dx10)

# --- frame/qa, qd, qu, qm: audio, demo runtime, fonts and 2D, meshes ---------------------------
vc_room(qa frame/qa USES qc qp_audio)
vc_room(qd frame/qd USES qc qr qa qp_audio USES_PRIVATE qp_files)
vc_room(qu frame/qu USES qc qr qp_text)
vc_room(qm frame/qm USES qc qr)

# Everything of frame/ for the tools, tests and benchmarks, which may reach any room.
add_library(frame INTERFACE)
target_link_libraries(frame INTERFACE qp_sys qc qp_files qp_gpu qp_shader qp_text qp_window qp_audio qp_media
    qr_shading qr qr_dx10 qr_dx11 qa qd qu qm)

# --- source: the demo ------------------------------------------------------------------------
# Data flows down: app -> dev, render -> demo -> scenes -> kit -> engine. The scenes do not
# see the demo object, the demo knows nothing of how it is run, and dev and render do not know
# each other. startup is the one start-up and shut-down sequence every way of running shares.
vc_room(lm1_kit source/demo/kit USES qc qd qm qr qu)
vc_room(lm1_scenes source/demo/scenes USES lm1_kit)
vc_room(lm1_demo source/demo USES qc qd qm qr qu USES_PRIVATE lm1_kit lm1_scenes qa qp_sys)
# The PNG files of source/resources/ are compiled in as byte arrays (cmake/EmbedResources.cmake).
file(GLOB VC_DEMO_RESOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/source/resources/*.png)
set(VC_DEMO_RESOURCE_SOURCE ${CMAKE_BINARY_DIR}/generated/LM1_ResourceData.cpp)
add_custom_command(OUTPUT ${VC_DEMO_RESOURCE_SOURCE}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${VC_DEMO_RESOURCE_SOURCE} "-DINPUTS=${VC_DEMO_RESOURCES}"
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
    DEPENDS ${VC_DEMO_RESOURCES} ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
    VERBATIM)
vc_room(lm1_startup source/startup USES qc qd qr USES_PRIVATE qa qu qp_sys qp_window
        EXTRA_SOURCES ${VC_DEMO_RESOURCE_SOURCE})
# The demo's data is found beside the build when the program runs from the folder it was built
# in (source/startup/LM1_DataFolders).
target_compile_definitions(lm1_startup PRIVATE
    VC_BUILD_FOLDER="${CMAKE_BINARY_DIR}" VC_SOURCE_FOLDER="${CMAKE_SOURCE_DIR}")
vc_room(lm1_dev source/dev USES lm1_demo qp_window USES_PRIVATE lm1_startup qa qp_audio qp_files qp_sys)
vc_room(lm1_render source/render USES qc qa qp_media USES_PRIVATE lm1_demo lm1_kit lm1_startup qd qr qu qp_sys
        qp_window LIBRARIES lodepng ZLIB::ZLIB)
vc_room(lm1_app source/app USES qc qr qp_window lm1_dev lm1_render USES_PRIVATE lm1_startup lm1_demo qa qd qu qp_sys
        EXCLUDE LM1_Main.cpp)
add_executable(velvet-cascade ${CMAKE_SOURCE_DIR}/source/app/LM1_Main.cpp)
target_link_libraries(velvet-cascade PRIVATE lm1_app lm1_startup lm1_dev lm1_render qc qa qd qr qu qp_sys qp_window)

# Every room of the demo, for its tests and benchmarks.
add_library(lm1 INTERFACE)
target_link_libraries(lm1 INTERFACE lm1_kit lm1_scenes lm1_demo lm1_startup lm1_dev lm1_render lm1_app)
target_compile_definitions(lm1_app PRIVATE VC_VERSION="${PROJECT_VERSION}")
