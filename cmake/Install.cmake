# What `cmake --install` puts under its prefix, and the two packages CPack makes of it. The tree is
# relocatable: the demo finds its data at ../share/velvet-cascade/assets and the shader compile
# chain its helper and the video encoder its codec module at ../libexec/velvet-cascade, all
# relative to bin/ (LM1_DataFolders, QP_ShaderCompilerProcess, QP_VideoEncoder), so an unpacked
# archive runs where it lies.
#
#   PREFIX/bin/velvet-cascade, vc-shader, vc-seq, vc-synth, the art tools
#   PREFIX/libexec/velvet-cascade/vc-shader-helper, velvet-cascade-video.so
#   PREFIX/share/velvet-cascade/assets/
#   PREFIX/share/doc/velvet-cascade/     README, the manual, copyright and changelog.gz
#   PREFIX/share/man/man6/velvet-cascade.6.gz and man1/ the tools' pages
#   PREFIX/share/applications/velvet-cascade.desktop
#   PREFIX/share/icons/hicolor/64x64/apps/velvet-cascade.png

include(GNUInstallDirs)

set(VC_INSTALLED_TOOLS vc-shader vc-seq vc-synth vc-artwork vc-demo-art vc-scene-art-a vc-scene-art-b vc-scene-art-p)
# Everything the install takes from the build: a suite that installs depends on all of it.
set(VC_INSTALLED_TARGETS velvet-cascade vc-shader-helper velvet-cascade-video ${VC_INSTALLED_TOOLS})
set(VC_PACKAGE_NAME velvet-cascade)
set(VC_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/${VC_PACKAGE_NAME})
set(VC_DOC_DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${VC_PACKAGE_NAME})
# The icon's folder names its size, which must be the picture's (source/resources/icon.png).
set(VC_ICON_SIZE 64x64)

install(TARGETS velvet-cascade ${VC_INSTALLED_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS vc-shader-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/${VC_PACKAGE_NAME})
install(TARGETS velvet-cascade-video LIBRARY DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/${VC_PACKAGE_NAME})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/ DESTINATION ${VC_DATA_DESTINATION}/assets)
file(GLOB VC_MANUAL CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${VC_MANUAL} DESTINATION ${VC_DOC_DESTINATION})
install(FILES ${CMAKE_SOURCE_DIR}/source/resources/velvet-cascade.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/source/resources/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${VC_ICON_SIZE}/apps RENAME ${VC_PACKAGE_NAME}.png)

# A file installed compressed, as Debian keeps manual pages and changelogs: -n keeps the name and
# time out of the bytes, so the same text always gives the same file. The texts carry the
# project's version (@PROJECT_VERSION@) and, in the changelog, the maintainer.
find_program(VC_GZIP gzip REQUIRED)
function(vc_install_compressed source name destination)
    set(text ${CMAKE_BINARY_DIR}/compressed/${name})
    configure_file(${source} ${text} @ONLY)
    add_custom_command(OUTPUT ${text}.gz
        COMMAND ${VC_GZIP} -9 -n -f -k ${text}
        DEPENDS ${text}
        VERBATIM)
    string(MAKE_C_IDENTIFIER "vc_compressed_${name}" target)
    add_custom_target(${target} ALL DEPENDS ${text}.gz)
    install(FILES ${text}.gz DESTINATION ${destination})
    set(VC_INSTALLED_TARGETS ${VC_INSTALLED_TARGETS} ${target} PARENT_SCOPE)
endfunction()

# The manual pages: the demo's in section 6, the tools' in section 1. The art tools share one
# page; their names are links to it.
vc_install_compressed(${CMAKE_SOURCE_DIR}/docs/velvet-cascade.6 velvet-cascade.6 ${CMAKE_INSTALL_MANDIR}/man6)
foreach(tool vc-shader vc-seq vc-synth vc-artwork)
    vc_install_compressed(${CMAKE_SOURCE_DIR}/docs/${tool}.1 ${tool}.1 ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
foreach(tool vc-demo-art vc-scene-art-a vc-scene-art-b vc-scene-art-p)
    file(CREATE_LINK vc-artwork.1.gz ${CMAKE_BINARY_DIR}/compressed/${tool}.1.gz SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/compressed/${tool}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The release's maker names the maintainer (a real address) when building a package to publish:
# the cache entry, or Debian's DEBFULLNAME and DEBEMAIL as packaging tools read them. Without
# either, an address in the reserved .invalid domain says plainly that nobody reads it.
set(VC_DEFAULT_MAINTAINER "Velvet Cascade developers <maintainers@velvet-cascade.invalid>")
if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
    set(VC_DEFAULT_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(VC_PACKAGE_MAINTAINER "${VC_DEFAULT_MAINTAINER}" CACHE STRING "The Debian package's maintainer: NAME <ADDRESS>")

# The notices of the project and of the libraries linked into its programs, and the release's
# history, where Debian keeps them.
vc_install_compressed(${CMAKE_SOURCE_DIR}/source/resources/changelog.in changelog ${VC_DOC_DESTINATION})
install(FILES ${CMAKE_SOURCE_DIR}/source/resources/copyright DESTINATION ${VC_DOC_DESTINATION})

# --- packages: a Debian package (installed under /usr) and a release archive ----------------------
set(CPACK_PACKAGE_NAME ${VC_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Velvet Cascade")
set(CPACK_PACKAGE_CONTACT "${VC_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo with its authoring tools")
# One string with its own line breaks: the Debian control file keeps lines short.
set(CPACK_PACKAGE_DESCRIPTION "LM: Velvet Cascade plays a piece of music and renders, in step with it,
a timed sequence of GPU scenes. The same program renders the demo offline
to PNG frames or a video (--render) and is the demo maker's workbench with
hot reload (--dev). The shader, sequencer script and soundtrack tools come
with it.")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
# The archive unpacks into one folder of its own name: velvet-cascade-VERSION-linux-x86_64/.
set(CPACK_PACKAGE_FILE_NAME ${VC_PACKAGE_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The Debian package is named as Debian names it (velvet-cascade_VERSION_amd64.deb); its library
# dependencies are computed from the programs by dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not "games": Debian keeps that section for packages with programs in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Mesa's software renderer for machines without a GPU driver, and the font families the launcher
# and the statistics ask fontconfig for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, fonts-dejavu-core")
include(CPack)
