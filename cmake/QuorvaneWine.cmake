# Cross builds for Windows: tests run under Wine through ctest's
# cross-compiling emulator. Included before any target is made, since targets
# take the emulator when they are created.
find_program(QUORVANE_WINE wine)
if(NOT QUORVANE_WINE OR CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()
# The DLLs the programs need beside them on Windows: Qt's and the MinGW runtime's.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE stdcxx_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE pthread_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(stdcxx_dir "${stdcxx_dll}" DIRECTORY)
get_filename_component(pthread_dir "${pthread_dll}" DIRECTORY)
get_filename_component(qt_bin_dir "${Qt6_DIR}/../../../bin" ABSOLUTE)
set(QV_WINEPATH "Z:${qt_bin_dir};Z:${stdcxx_dir};Z:${pthread_dir}")
set(QV_WINEPREFIX "${PROJECT_BINARY_DIR}/wine")
# Qt's offscreen platform on Windows takes its fonts from one folder, not from
# the system. The gui tests measure and paint with the font the Linux tests get
# for Tahoma (fontconfig's DejaVu Sans), so their pixel checks hold under Wine too.
set(QV_FONTDIR "${PROJECT_BINARY_DIR}/offscreen-fonts")
file(MAKE_DIRECTORY "${QV_FONTDIR}")
file(CREATE_LINK /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "${QV_FONTDIR}/DejaVuSans.ttf" SYMBOLIC)
configure_file(${PROJECT_SOURCE_DIR}/scripts/windows/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)
set(QUORVANE_QT_BIN_DIR "${qt_bin_dir}")
set(QUORVANE_MINGW_RUNTIME_DIRS "${stdcxx_dir};${pthread_dir}")
