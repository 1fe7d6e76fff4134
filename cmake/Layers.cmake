# SPDX-License-Identifier: GPL-3.0-or-later
# The layers of layers.txt, held by the build. Each folder's code sees only
# the folders it may include: its includes resolve through
# build/layers/<folder>/, which holds links to just those folders, so an
# include that the rules forbid names a file that is not there. Each core
# folder builds into a library of its own, linked to the core folders below it.

file(STRINGS ${CMAKE_SOURCE_DIR}/layers.txt tarnwick_rules REGEX "^[a-z]+:")
set(TARNWICK_FOLDERS)
foreach(rule IN LISTS tarnwick_rules)
  string(REGEX MATCH "^[a-z]+" folder "${rule}")
  string(REGEX REPLACE "^[a-z]+:([^#]*).*$" "\\1" forbidden "${rule}")
  separate_arguments(forbidden)
  list(APPEND TARNWICK_FOLDERS ${folder})
  set(TARNWICK_FORBIDDEN_${folder} ${forbidden})
endforeach()

# The folders built into the core libraries, in layer order.
set(TARNWICK_CORE_FOLDERS platform xml geo db filter exchange gps maps online app)

# The folders that code in folder may include, itself among them.
function(tarnwick_allowed_folders folder out)
  if(NOT DEFINED TARNWICK_FORBIDDEN_${folder})
    message(FATAL_ERROR "layers.txt has no rule for ${folder}/")
  endif()
  set(allowed)
  foreach(other IN LISTS TARNWICK_FOLDERS)
    if(NOT other IN_LIST TARNWICK_FORBIDDEN_${folder})
      list(APPEND allowed ${other})
    endif()
  endforeach()
  set(${out} ${allowed} PARENT_SCOPE)
endfunction()

# Gives target the include folder of folder's layer.
function(tarnwick_layer_includes target folder)
  tarnwick_allowed_folders(${folder} allowed)
  set(dir ${CMAKE_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(other IN LISTS allowed)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${other} ${dir}/${other} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${dir})
  # Generated headers (app/Version.h) sit in the build tree under their folder's name.
  if("app" IN_LIST allowed)
    target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/generated)
  endif()
endfunction()

# The core libraries: tarnwick_<folder>, each linked to the core folders it may include.
foreach(folder IN LISTS TARNWICK_CORE_FOLDERS)
  add_library(tarnwick_${folder} STATIC)
  tarnwick_warnings(tarnwick_${folder})
  tarnwick_layer_includes(tarnwick_${folder} ${folder})
  tarnwick_allowed_folders(${folder} allowed)
  foreach(below IN LISTS allowed)
    if(below IN_LIST TARNWICK_CORE_FOLDERS AND NOT below STREQUAL folder)
      target_link_libraries(tarnwick_${folder} PUBLIC tarnwick_${below})
    endif()
  endforeach()
endforeach()
