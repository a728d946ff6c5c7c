# The WebAssembly build (emcmake; the preset "web"): the core and the command line only,
# for the browser page and the command line's twin under Node.js (web/CMakeLists.txt).
if(GENOSIEVE_BUILD_GUI OR GENOSIEVE_BUILD_TESTS OR GENOSIEVE_BUILD_BENCH OR GENOSIEVE_BUILD_FUZZ)
  message(FATAL_ERROR "The WebAssembly build makes the core and the command line only: set "
                      "GENOSIEVE_BUILD_GUI, _TESTS, _BENCH and _FUZZ OFF (preset web)")
endif()

# The core's SSE2 code runs on WebAssembly SIMD; exceptions are WebAssembly's own, which
# cost nothing until one is thrown (emscripten's default would not catch them at all).
add_compile_options(-msimd128 -msse2 -fwasm-exceptions)
add_link_options(-fwasm-exceptions)

# libcsv is not part of emscripten's system root: scripts/build-web builds it from
# Debian's source package and gives CSV_INCLUDE_DIR and CSV_LIBRARY.
if(NOT CSV_INCLUDE_DIR OR NOT CSV_LIBRARY)
  message(FATAL_ERROR "Give CSV_INCLUDE_DIR and CSV_LIBRARY of a libcsv built with emcc "
                      "(scripts/build-web does)")
endif()

# CLI11 is header-only: a copy of Debian's headers, since the host's include folder
# would put the host's C library before emscripten's.
find_path(CLI11_HOST_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${CLI11_HOST_INCLUDE_DIR}/CLI DESTINATION ${CMAKE_BINARY_DIR}/cli11/include)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/cli11/include)
