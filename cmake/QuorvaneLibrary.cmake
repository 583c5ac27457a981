# One static library per source folder; every source in the folder (and in the
# subfolders named by SUBDIRS) belongs to it except main.cpp, which makes the
# executable. SOURCES names the files instead, where one folder holds two
# layers (app/memo/: the text box's model and its view).
function(quorvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SUBDIRS;SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    set(patterns)
    foreach(folder ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_SUBDIRS})
      cmake_path(ABSOLUTE_PATH folder BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND patterns ${folder}/*.cpp ${folder}/*.c ${folder}/*.h ${folder}/*.qrc)
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  endif()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  # A file named for a platform (platform_windows.cpp) is built for that platform only.
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_linux\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_windows\\.(cpp|rc)$")
  endif()
  add_library(${name} STATIC ${sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt.
function(quorvane_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
