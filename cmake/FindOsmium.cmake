# SPDX-License-Identifier: GPL-3.0-or-later
# The header-only OpenStreetMap data library and the protocol buffer decoder
# it reads PBF files with (Debian: libosmium2-dev, libprotozero-dev), for the
# tests that write maps from real OpenStreetMap data. The program does not
# use it. Defines Osmium_FOUND and the target Osmium::Osmium (PBF input only:
# zlib and threads).
find_path(OSMIUM_INCLUDE_DIR osmium/version.hpp)
find_path(PROTOZERO_INCLUDE_DIR protozero/version.hpp)
find_package(ZLIB QUIET)
find_package(Threads QUIET)
if(OSMIUM_INCLUDE_DIR AND EXISTS "${OSMIUM_INCLUDE_DIR}/osmium/version.hpp")
  file(STRINGS "${OSMIUM_INCLUDE_DIR}/osmium/version.hpp" _osmium_version
       REGEX "^#define LIBOSMIUM_VERSION_STRING \"[^\"]*\"")
  string(REGEX REPLACE ".*\"([^\"]*)\".*" "\\1" Osmium_VERSION "${_osmium_version}")
endif()
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Osmium
  REQUIRED_VARS OSMIUM_INCLUDE_DIR PROTOZERO_INCLUDE_DIR ZLIB_FOUND Threads_FOUND
  VERSION_VAR Osmium_VERSION)
if(Osmium_FOUND AND NOT TARGET Osmium::Osmium)
  add_library(Osmium::Osmium INTERFACE IMPORTED)
  set_target_properties(Osmium::Osmium PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${OSMIUM_INCLUDE_DIR};${PROTOZERO_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "ZLIB::ZLIB;Threads::Threads")
endif()
mark_as_advanced(OSMIUM_INCLUDE_DIR PROTOZERO_INCLUDE_DIR)
