# Installing like a desktop program: `cmake --install` layout, launcher, icon,
# AppStream metadata and the Debian package (cpack -G DEB).
#
#   <prefix>/bin/velmora, <prefix>/bin/zxtool
#   <prefix>/share/velmora/{image,pic,profile,Language}   read-only program data
#   <prefix>/share/applications/com.example.velmora.desktop
#   <prefix>/share/metainfo/com.example.velmora.metainfo.xml
#   <prefix>/share/icons/hicolor/NxN/apps/com.example.velmora.png
#
# The program finds the data relative to its executable (AppPaths), so the
# relative path from bindir to the data folder is compiled in.
if(NOT VELMORA_BUILD_GUI)
  return()
endif()

include(GNUInstallDirs)

# `cmake --install` and cpack take what is built and do not build the whole
# tree (tests, benchmarks) first; building `velmora` builds all they install.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(VELMORA_APP_ID com.example.velmora)
set(VELMORA_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/velmora)

file(RELATIVE_PATH _velmora_data_from_bin
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DATADIR})
target_compile_definitions(vm_base PRIVATE VELMORA_DATA_FROM_BIN="${_velmora_data_from_bin}")

# The application icon at the icon theme's sizes, painted by the skin generator.
set(VELMORA_ICON_DIR ${CMAKE_BINARY_DIR}/icons/hicolor)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/icons.stamp
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:skingen>
          --icons ${VELMORA_ICON_DIR} ${VELMORA_APP_ID}
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/icons.stamp
  DEPENDS skingen
  COMMENT "Painting the application icon"
  VERBATIM)
add_custom_target(velmora_icons DEPENDS ${CMAKE_BINARY_DIR}/icons.stamp)
# Whatever builds the program builds everything its package holds.
add_dependencies(velmora velmora_icons)

install(TARGETS velmora zxtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${VELMORA_BIN_DIR}/image ${VELMORA_BIN_DIR}/pic
        DESTINATION ${VELMORA_INSTALL_DATADIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/profile ${CMAKE_SOURCE_DIR}/data/Language
        DESTINATION ${VELMORA_INSTALL_DATADIR})
install(DIRECTORY ${VELMORA_ICON_DIR} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${VELMORA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${VELMORA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian package: velmora_<version>_<arch>.deb. The run-time libraries come
# from dpkg-shlibdeps on the installed executables; fonts are only recommended
# (the skin asks for one the desktop may not have and falls back).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video and audio converter with a skinned Qt interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora Video Converter converts video and audio files, DVD folders and ISO\nimages into a format chosen from a catalogue grouped by category and device,\nwith trimming, cropping, effects, watermarks and subtitles per item.\nzxtool is its command-line front end.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.example.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, xdg-utils")
include(CPack)

if(VELMORA_BUILD_TESTS)
  # Builds the package, unpacks it into a throw-away root and starts what it
  # installed; ctest -L package.
  add_test(NAME package_install
    COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/test_package.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package_install PROPERTIES LABELS package TIMEOUT 240)
endif()
