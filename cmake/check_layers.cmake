# Fails when a source file includes a header of a layer above its own, of a
# sibling front-end, or of the other platform's HID backend.
#
#   cmake -DTRIVEXA_SOURCE_ROOT=<src folder> -P check_layers.cmake
#
# Every build runs it (see src/CMakeLists.txt), so the layering holds by
# construction rather than by convention. Headers are included by their path
# below the source root ("hid/discovery.h"); that path names the layer.

cmake_minimum_required(VERSION 3.22)

if(NOT TRIVEXA_SOURCE_ROOT)
  message(FATAL_ERROR "check_layers: set TRIVEXA_SOURCE_ROOT to the source folder")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/layers.cmake)

# Top folders of the source root: an include starting with one of them is
# one of ours and must name a layer.
file(GLOB top_entries RELATIVE "${TRIVEXA_SOURCE_ROOT}" "${TRIVEXA_SOURCE_ROOT}/*")
set(top_folders "")
foreach(entry IN LISTS top_entries)
  if(IS_DIRECTORY "${TRIVEXA_SOURCE_ROOT}/${entry}")
    list(APPEND top_folders "${entry}")
  endif()
endforeach()

# Every file of the tree, whatever its extension (.inc, .hpp, .ipp, .c, .rc,
# ...), but the build scripts, the notes and the images.
file(GLOB_RECURSE sources RELATIVE "${TRIVEXA_SOURCE_ROOT}" "${TRIVEXA_SOURCE_ROOT}/*")
list(FILTER sources EXCLUDE REGEX "(^|/)CMakeLists\\.txt$|\\.(md|ico|png|svg|bmp)$")
list(SORT sources)

# A folder below hid/ is a platform's backend and must be declared as one.
function(trivexa_undeclared_platform path out)
  set(${out} "" PARENT_SCOPE)
  if(path MATCHES "^hid/([^/]+)/")
    if(NOT CMAKE_MATCH_1 IN_LIST trivexa_hid_platform_folders)
      set(${out} "hid/${CMAKE_MATCH_1}/" PARENT_SCOPE)
    endif()
  endif()
endfunction()

set(include_pattern "^[ \t]*#[ \t]*include[ \t]*([\"<])([^\">]+)[\">]")
set(violations "")
foreach(source IN LISTS sources)
  trivexa_layer_of("${source}" layer)
  trivexa_undeclared_platform("${source}" platform)
  if(platform)
    list(APPEND violations
      "${source}: lies in ${platform}, a platform folder that is not declared (add it to cmake/layers.cmake)")
    continue()
  endif()
  if(layer STREQUAL "")
    list(APPEND violations "${source}: lies in no layer (add its folder to cmake/check_layers.cmake)")
    continue()
  endif()
  get_filename_component(source_dir "${TRIVEXA_SOURCE_ROOT}/${source}" DIRECTORY)
  file(STRINGS "${TRIVEXA_SOURCE_ROOT}/${source}" lines REGEX "${include_pattern}")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "${include_pattern}" matched "${line}")
    set(delimiter "${CMAKE_MATCH_1}")
    set(included "${CMAKE_MATCH_2}")
    if(included MATCHES "\\.\\.")
      list(APPEND violations "${source}: includes \"${included}\" through a parent folder")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" first "${included}")
    if(NOT included MATCHES "/" OR NOT first IN_LIST top_folders)
      # A system header, or a quoted one beside the including file. A
      # resource script also takes what the build generates beside it.
      if(delimiter STREQUAL "\"" AND NOT EXISTS "${source_dir}/${included}"
         AND NOT source MATCHES "\\.rc$")
        list(APPEND violations "${source}: includes \"${included}\", which names no layer")
      endif()
      continue()
    endif()
    trivexa_layer_of("${included}" included_layer)
    trivexa_undeclared_platform("${included}" platform)
    if(platform)
      list(APPEND violations
        "${source}: includes \"${included}\" of ${platform}, a platform folder that is not declared")
    elseif(included_layer STREQUAL "")
      list(APPEND violations "${source}: includes \"${included}\", which lies in no layer")
    elseif(NOT included_layer IN_LIST trivexa_may_include_${layer})
      list(APPEND violations
        "${source} (layer ${layer}) includes \"${included}\" (layer ${included_layer})")
    endif()
  endforeach()
endforeach()

if(violations)
  list(LENGTH violations count)
  list(JOIN violations "\n  " listed)
  message(FATAL_ERROR "Layer check failed, ${count} include(s) against the layering:\n  ${listed}\n"
    "A layer may include only itself and the layers below it: "
    "host < settings, hid < protocol < app/logic < front-ends; "
    "host < instance < front-ends, cli; protocol < cli; "
    "host < app/desktop < app/qt (see cmake/layers.cmake).")
endif()
