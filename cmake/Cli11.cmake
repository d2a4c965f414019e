# CLI11, the header-only parser of the command-line tools, as CLI11::CLI11.
#   include(${PROJECT_SOURCE_DIR}/cmake/Cli11.cmake)
if(TARGET CLI11::CLI11)
  return()
endif()
if(NOT WIN32)
  find_package(CLI11 CONFIG REQUIRED)
  return()
endif()
# The cross build sees neither Debian's package configuration nor
# /usr/include, which must stay off its include path (its headers would
# shadow mingw-w64's): CLI11's own folder is copied into the build tree and
# only that is shown.
find_path(QUENLOW_CLI11_HEADERS CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUENLOW_CLI11_HEADERS)
  message(FATAL_ERROR "CLI11's headers are missing: install libcli11-dev (tools/install-deps.sh windows)")
endif()
set(QUENLOW_CLI11_COPY ${CMAKE_BINARY_DIR}/cli11-include)
file(COPY ${QUENLOW_CLI11_HEADERS}/CLI DESTINATION ${QUENLOW_CLI11_COPY})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${QUENLOW_CLI11_COPY})
