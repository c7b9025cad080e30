# The layers of src/ and what each may use, shared by the include check
# (check_layers.cmake) and the link check (trivexa_check_layer_links).

# Folder prefixes and the layer each names; the longer prefix wins, so a
# backend folder is not mistaken for the generic hid layer.
set(trivexa_layer_prefixes
  "host/=host"
  "settings/=settings"
  "hid/linux/=hid_linux"
  "hid/windows/=hid_windows"
  "hid/=hid"
  "protocol/=protocol"
  "instance/=instance"
  "app/logic/=logic"
  "app/desktop/=desktop"
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
# The single-copy lock answers the host's InstanceGuard for every front-end
# and for the command-line tool, which has no use for the window's logic.
set(trivexa_may_include_instance instance host)
# The Linux window's process and desktop plumbing: the window's main uses it,
# and it knows nothing of the window, its logic or the joystick.
set(trivexa_may_include_desktop desktop host)
set(trivexa_may_include_qt qt desktop instance logic protocol settings hid host)
set(trivexa_may_include_win32 win32 instance logic protocol settings hid host)
set(trivexa_may_include_cli cli instance protocol settings hid host)

# The HID backends: every folder below hid/ must be one of these, so a new
# platform cannot pass for the generic hid layer.
set(trivexa_hid_platform_folders linux windows)

# The library of each layer. trivexa_core stands for everything below the
# front-ends, so it counts as the logic layer.
set(trivexa_layer_targets
  "trivexa_host=host"
  "trivexa_settings=settings"
  "trivexa_hid=hid"
  "trivexa_protocol=protocol"
  "trivexa_logic=logic"
  "trivexa_core=logic"
  "trivexa_instance=instance"
  "trivexa_desktop=desktop"
  "trivexa_qtwindow=qt"
  "trivexa_win32window=win32"
  "trivexa_cli=cli")
# Libraries of ours that are no layer and that any layer may link.
set(trivexa_layer_free_targets trivexa_warnings)

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

function(trivexa_layer_of_target target out)
  set(found "")
  foreach(entry IN LISTS trivexa_layer_targets)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 name)
    if(name STREQUAL target)
      list(GET pair 1 found)
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Fails the configuration when a layer library links a library of ours that
# is not a layer below its own. Call it once every layer target exists.
function(trivexa_check_layer_links)
  set(violations "")
  foreach(entry IN LISTS trivexa_layer_targets)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 target)
    list(GET pair 1 layer)
    if(NOT TARGET ${target})
      continue()
    endif()
    get_target_property(type ${target} TYPE)
    set(linked "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${target} LINK_LIBRARIES)
      if(direct)
        list(APPEND linked ${direct})
      endif()
    endif()
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND linked ${interface})
    endif()
    foreach(item IN LISTS linked)
      # A static library's private links show as $<LINK_ONLY:name>.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      if(NOT item MATCHES "^trivexa_" OR item IN_LIST trivexa_layer_free_targets)
        continue()
      endif()
      trivexa_layer_of_target(${item} item_layer)
      if(item_layer STREQUAL "")
        list(APPEND violations "${target} (layer ${layer}) links ${item}, which is no layer")
      elseif(item_layer STREQUAL layer AND NOT target STREQUAL "trivexa_core"
             AND NOT item STREQUAL "trivexa_core")
        list(APPEND violations "${target} (layer ${layer}) links ${item} of its own layer")
      elseif(NOT item_layer IN_LIST trivexa_may_include_${layer})
        list(APPEND violations "${target} (layer ${layer}) links ${item} (layer ${item_layer})")
      endif()
    endforeach()
  endforeach()
  if(violations)
    list(REMOVE_DUPLICATES violations)
    list(LENGTH violations count)
    list(JOIN violations "\n  " listed)
    message(FATAL_ERROR "Layer link check failed, ${count} link(s) against the layering:\n  ${listed}\n"
      "A layer's library may link only the libraries of the layers below it.")
  endif()
endfunction()
