# Shared build settings and the helpers that turn folders into targets.

set(KELVO_WARNINGS -Wall -Wextra -Werror)
# A sanitizer report ends the program, so that a test or a fuzz target fails on it (undefined
# behaviour included) instead of printing it and going on.
set(KELVO_SANITIZER_FLAGS "")
if(KELVO_SANITIZE OR KELVO_FUZZ)
  if(KELVO_TSAN)
    message(FATAL_ERROR "ThreadSanitizer does not combine with AddressSanitizer: use a build folder of its own")
  endif()
  set(KELVO_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
                            -fno-omit-frame-pointer)
endif()
if(KELVO_TSAN)
  set(KELVO_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(KELVO_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz targets need clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()

# Every program (the benchmarks aside: bench/CMakeLists.txt) is checked for one name with two
# different definitions in its translation units (an enum or a record defined twice, a function
# declared with other types than it is defined with): without the check such a program builds, and
# which definition a call uses depends on inlining. g++ compares the types of translation units only when it reads them side by side as
# link-time optimisation does, so every object carries g++'s intermediate language beside its
# machine code; before each link, scripts/odr-link.sh has lto-dump read the intermediate language
# of all the program's objects and archives (nothing is compiled a second time) and fails the link
# on a clash. The programs themselves are linked from the machine code.
if(KELVO_ODR_CHECK)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    message(FATAL_ERROR "KELVO_ODR_CHECK needs g++: clang's link-time optimisation compares no types")
  endif()
  string(REGEX MATCH "^[0-9]+" gcc_major "${CMAKE_CXX_COMPILER_VERSION}")
  find_program(KELVO_LTO_DUMP NAMES lto-dump-${gcc_major} lto-dump)
  if(NOT KELVO_LTO_DUMP)
    message(FATAL_ERROR "KELVO_ODR_CHECK needs lto-dump (Debian package gcc-${gcc_major})")
  endif()
  add_compile_options(-flto -ffat-lto-objects)
  add_link_options(-fno-lto)
  # The archives' symbol index lists what their machine code defines: indexed through the
  # intermediate language (ar's default where g++'s plugin is installed) it would name functions
  # that were inlined away, and a program linking an archive twice would take such a member twice.
  execute_process(COMMAND ${CMAKE_LINKER} --print-output-format OUTPUT_VARIABLE object_format
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  foreach(language C CXX)
    set(CMAKE_${language}_ARCHIVE_CREATE "<CMAKE_AR> --target=${object_format} qc <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${language}_ARCHIVE_APPEND "<CMAKE_AR> --target=${object_format} q <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${language}_ARCHIVE_FINISH "<CMAKE_AR> --target=${object_format} s <TARGET>")
  endforeach()
  set(CMAKE_CXX_LINKER_LAUNCHER ${PROJECT_SOURCE_DIR}/scripts/odr-link.sh ${KELVO_LTO_DUMP} ${CMAKE_CXX_LINKER_LAUNCHER})
endif()

find_package(PkgConfig REQUIRED)
find_path(KELVO_TL_EXPECTED_INCLUDE tl/expected.hpp REQUIRED)

# A library a program loads calls some inline functions of the C++ library through its dynamic
# symbols, and is bound to the program's copy when the program exports one (every program that
# links GTK exports all its symbols). In a sanitizer build that copy checks the dynamic types of
# the objects it is given, which a library built without type information cannot pass: WebKit's
# JavaScriptCore releases its shared pointers through the shared-pointer release helper. Its
# programs keep their copies of the shared-pointer control block's functions to themselves, so
# the libraries use their own and the checks stay on for the project's shared pointers.
set(KELVO_SANITIZED_PROGRAM_MAP ${CMAKE_CURRENT_LIST_DIR}/sanitized_program.map)

# Applies the project's flags to one of its own targets.
function(kelvo_target_settings target)
  target_compile_options(${target} PRIVATE ${KELVO_WARNINGS} ${KELVO_SANITIZER_FLAGS})
  target_link_options(${target} PRIVATE ${KELVO_SANITIZER_FLAGS})
  get_target_property(type ${target} TYPE)
  if((KELVO_SANITIZE OR KELVO_FUZZ) AND type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE -Wl,--version-script=${KELVO_SANITIZED_PROGRAM_MAP})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KELVO_SANITIZED_PROGRAM_MAP})
  endif()
endfunction()

# Most of what a file of the project costs to compile is reading the headers it includes (the
# project's records and the standard library's templates), the same for most files of a target:
# with KELVO_PCH, a target of several files compiles them once, as a precompiled header that its
# files begin with, and its files only read what else they include. The headers are those nearly
# every file includes, and the ones `kelvo_precompile` is given (those most files of that target
# include). A precompiled header serves only files compiled with the flags it was compiled with:
# each target compiles its own. With ccache, it needs the sloppiness pch_defines,time_macros.
# clang's precompiled header is a fifth of g++'s (21 MB against 108 MB for the runtime's), and g++
# maps all of it into every file it compiles: measured on a cold build, g++ spent more time in the
# system with it than it saved. So it is on by default for clang only.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(kelvo_pch_default ON)
else()
  set(kelvo_pch_default OFF)
endif()
option(KELVO_PCH "Compile the headers most files of a target include once for the target" ${kelvo_pch_default})
set(KELVO_PCH_HEADERS <algorithm> <array> <cstddef> <cstdint> <cstdlib> <cstring> <functional> <memory> <optional>
                      <span> <string> <string_view> <tuple> <type_traits> <unordered_map> <utility> <vector>
                      <tl/expected.hpp> base/error.hpp)
# A target of fewer files pays more for its header than it saves.
set(KELVO_PCH_MIN_SOURCES 4)

# kelvo_precompile_headers(<target> <header>...): the target's files are compiled after the given
# headers (system headers in <>, the project's by their path under src/), read once from their
# precompiled form. They are listed in a header of the build's own, rewritten only when the list
# changes: the precompiled header is made again whenever one of them or the list changes.
function(kelvo_precompile_headers target)
  set(text "// The headers every file of ${target} is compiled after (written by the build).\n")
  foreach(header ${ARGN})
    if(header MATCHES "^<")
      string(APPEND text "#include ${header}\n")
    else()
      string(APPEND text "#include \"${header}\"\n")
    endif()
  endforeach()
  set(file ${CMAKE_CURRENT_BINARY_DIR}/precompiled/${target}.hpp)
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}" @ONLY)
  target_precompile_headers(${target} PRIVATE ${file})
endfunction()

# kelvo_precompile(<target> [<header>...]): with KELVO_PCH, a target of several files is compiled
# after the common headers and the given ones, precompiled (see kelvo_precompile_headers).
function(kelvo_precompile target)
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(LENGTH sources count)
  if(KELVO_PCH AND NOT count LESS KELVO_PCH_MIN_SOURCES)
    kelvo_precompile_headers(${target} ${KELVO_PCH_HEADERS} ${ARGN})
  endif()
endfunction()

# kelvo_library(<name> DIRS <folder under src>... DEPS <targets>... [PRECOMPILE <header>...])
# One static library from the .cpp files directly inside the given folders; PRECOMPILE names the
# headers most of them include (see kelvo_precompile).
function(kelvo_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS;SYSTEM_DEPS;PRECOMPILE" ${ARGN})
  set(sources "")
  foreach(dir ${ARG_DIRS})
    file(GLOB dir_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${KELVO_TL_EXPECTED_INCLUDE})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM_DEPS})
    kelvo_target_settings(${name})
    target_link_options(${name} INTERFACE ${KELVO_SANITIZER_FLAGS})
    kelvo_precompile(${name} ${ARG_PRECOMPILE})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${KELVO_TL_EXPECTED_INCLUDE})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM_DEPS})
  endif()
endfunction()
