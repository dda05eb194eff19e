# nlohmann-json (JSON) and toml++ (TOML): Debian's header-only packages
# nlohmann-json3-dev and libtomlplusplus-dev, as the target zave_header_libs.
# A native build finds them in /usr/include as it is. A cross build must not
# take the build machine's /usr/include whole (its C library would shadow the
# tool chain's), so it gets a folder holding links to just these two.
add_library(zave_header_libs INTERFACE)
find_path(ZAVE_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
find_path(ZAVE_TOMLPP_DIR toml++/toml.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT ZAVE_NLOHMANN_JSON_DIR OR NOT ZAVE_TOMLPP_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp or toml++/toml.h not found: install nlohmann-json3-dev and "
                      "libtomlplusplus-dev (scripts/setup.sh)")
endif()
if(CMAKE_CROSSCOMPILING)
  set(zave_links ${CMAKE_BINARY_DIR}/header-libraries)
  file(MAKE_DIRECTORY ${zave_links})
  file(CREATE_LINK ${ZAVE_NLOHMANN_JSON_DIR}/nlohmann ${zave_links}/nlohmann SYMBOLIC)
  file(CREATE_LINK ${ZAVE_TOMLPP_DIR}/toml++ ${zave_links}/toml++ SYMBOLIC)
  target_include_directories(zave_header_libs SYSTEM INTERFACE ${zave_links})
endif()
# toml++ compiled into the program (Debian ships no library for it), and
# reporting a parse error as a result rather than an exception.
target_compile_definitions(zave_header_libs INTERFACE TOML_HEADER_ONLY=1 TOML_EXCEPTIONS=0)
