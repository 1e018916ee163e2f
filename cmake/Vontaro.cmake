# Compiler settings shared by every target of the project.
add_library(vontaro_options INTERFACE)
target_compile_definitions(vontaro_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
  QT_NO_FOREACH QT_NO_CAST_FROM_BYTEARRAY QT_USE_QSTRINGBUILDER)
target_compile_options(vontaro_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(VONTARO_WERROR AND NOT VONTARO_SANITIZE)
  target_compile_options(vontaro_options INTERFACE -Werror)
endif()
if(VONTARO_SANITIZE)
  # Line tables are all a sanitizer report needs; full debug info made the
  # test build several times larger and slower to link.
  target_compile_options(vontaro_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -Werror -g1)
  target_link_options(vontaro_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# The test configuration links each layer once, as a shared library, instead of
# into every one of the many test executables; the application links them in.
if(VONTARO_SANITIZE)
  set(VONTARO_LIBRARY_TYPE SHARED)
else()
  set(VONTARO_LIBRARY_TYPE STATIC)
endif()

# One library per source folder; a folder's sources are found by pattern so
# adding a file needs no edit here.
function(vontaro_folder_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;EXCLUDE;LINK" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp" "${CMAKE_SOURCE_DIR}/src/${dir}/*.h")
    list(APPEND sources ${found})
  endforeach()
  foreach(pattern IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  add_library(${name} ${VONTARO_LIBRARY_TYPE} ${sources} "${CMAKE_SOURCE_DIR}/cmake/empty.cpp")
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC vontaro_options ${ARG_LINK})
endfunction()

# Precompiled headers for a cold build of many files (the test command's
# builds): "tests" gives the test programs of one kind one shared header,
# "sources" gives each library one; empty, the default, gives none. A compiler
# cache cannot key a precompiled header and would miss on every file, so
# builds behind one leave them out. The test command precompiles the tests in
# the sanitizer build and the sources in the optimised check, so every source
# file is still compiled once on its own includes.
set(VONTARO_PCH "" CACHE STRING "Targets built with precompiled headers: tests, sources, or both (tests;sources)")
set(VONTARO_PCH_BASE <QByteArray> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QString>
  <algorithm> <functional> <memory> <optional> <vector>)
function(vontaro_precompile target)
  if("sources" IN_LIST VONTARO_PCH AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    target_precompile_headers(${target} PRIVATE ${VONTARO_PCH_BASE} ${ARGN})
  endif()
endfunction()
