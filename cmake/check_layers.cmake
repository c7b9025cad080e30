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

# Folder prefixes and the layer each names; the longer prefix wins, so a
# backend folder is not mistaken for the generic hid layer.
set(trivexa_layer_prefixes
  "host/=host"
  "settings/=settings"
  "hid/linux/=hid_linux"
  "hid/windows/=hid_windows"
  "hid/=hid"
  "protocol/=protocol"
  "app/logic/=logic"
  "app/instance/=instance"
  "app/qt/=qt"
  "app/win32/=win32"
  "cli/=cli")

# What each layer may include: itself and the layers below it. A backend sees
# the generic hid layer but never the other backend; nothing outside a
# backend sees either (front-ends reach the backend through
# hid/system_hid_platform.h). Front-ends never include one another.
set(trivexa_may_include_host host)
set(trivexa_may_include_settings settings host)
set(trivexa_may_include_hid hid host)
set(trivexa_may_include_hid_linux hid_linux hid host)
set(trivexa_may_include_hid_windows hid_windows hid host)
set(trivexa_may_include_protocol protocol settings hid host)
set(trivexa_may_include_logic logic protocol settings hid host)
# The single-copy lock implements the logic's InstanceGuard for every
# front-end.
set(trivexa_may_include_instance instance logic protocol settings hid host)
set(trivexa_may_include_qt qt instance logic protocol settings hid host)
set(trivexa_may_include_win32 win32 instance logic protocol settings hid host)
set(trivexa_may_include_cli cli instance logic protocol settings hid host)

function(trivexa_layer_of path out)
  set(found "")
  set(found_length 0)
  foreach(entry IN LISTS trivexa_layer_prefixes)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 prefix)
    list(GET pair 1 layer)
    string(LENGTH "${prefix}" length)
    string(FIND "${path}" "${prefix}" at)
    if(at EQUAL 0 AND length GREATER found_length)
      set(found "${layer}")
      set(found_length ${length})
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Top folders of the source root: an include starting with one of them is
# one of ours and must name a layer.
file(GLOB top_entries RELATIVE "${TRIVEXA_SOURCE_ROOT}" "${TRIVEXA_SOURCE_ROOT}/*")
set(top_folders "")
foreach(entry IN LISTS top_entries)
  if(IS_DIRECTORY "${TRIVEXA_SOURCE_ROOT}/${entry}")
    list(APPEND top_folders "${entry}")
  endif()
endforeach()

file(GLOB_RECURSE sources RELATIVE "${TRIVEXA_SOURCE_ROOT}"
  "${TRIVEXA_SOURCE_ROOT}/*.h" "${TRIVEXA_SOURCE_ROOT}/*.cpp")
list(SORT sources)

set(include_pattern "^[ \t]*#[ \t]*include[ \t]*([\"<])([^\">]+)[\">]")
set(violations "")
foreach(source IN LISTS sources)
  trivexa_layer_of("${source}" layer)
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
      # A system header, or a quoted one beside the including file.
      if(delimiter STREQUAL "\"" AND NOT EXISTS "${source_dir}/${included}")
        list(APPEND violations "${source}: includes \"${included}\", which names no layer")
      endif()
      continue()
    endif()
    trivexa_layer_of("${included}" included_layer)
    if(included_layer STREQUAL "")
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
    "host < settings, hid < protocol < app/logic < front-ends.")
endif()
