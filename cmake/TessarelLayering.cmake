# The layers' boundaries as build errors rather than habits:
#   tessarel_forbid_qt(target)      the target links no Qt, and no Qt header reaches its sources;
#   tessarel_forbid_ffmpeg(target)  no FFmpeg header reaches its sources, directly or through a
#                                   header of the media layer.
# Headers are caught by poisoning the include guards of every installed header of the library
# in a header forced into each of the target's sources: including one is then a compile error.

set(_tessarel_layering_dir ${CMAKE_BINARY_DIR}/layering)

# Writes a forced header that poisons the include guards of every header in the given folders.
function(_tessarel_write_guard_poison output reason)
  set(text "// Made by cmake/TessarelLayering.cmake: ${reason}\n")
  foreach(folder IN LISTS ARGN)
    file(GLOB headers ${folder}/*.h)
    foreach(header IN LISTS headers)
      file(STRINGS ${header} guard REGEX "^#ifndef [A-Za-z0-9_]+_H_?$" LIMIT_COUNT 1)
      if(guard)
        string(REPLACE "#ifndef " "" guard "${guard}")
        string(APPEND text "#pragma GCC poison ${guard}\n")
      endif()
    endforeach()
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${text}" @ONLY)
endfunction()

find_path(TESSAREL_FFMPEG_INCLUDE_DIR libavformat/avformat.h HINTS ${FFMPEG_INCLUDE_DIRS})
set(_ffmpeg_folders)
foreach(library avformat avcodec avutil swscale swresample avfilter avdevice postproc)
  list(APPEND _ffmpeg_folders ${TESSAREL_FFMPEG_INCLUDE_DIR}/lib${library})
endforeach()
_tessarel_write_guard_poison(${_tessarel_layering_dir}/forbid_ffmpeg.h
  "the engine and the window reach FFmpeg only through the media layer's interfaces"
  ${_ffmpeg_folders})

# Qt's headers all include qglobal.h.
file(CONFIGURE OUTPUT ${_tessarel_layering_dir}/forbid_qt.h CONTENT
  "// Made by cmake/TessarelLayering.cmake: this layer builds and runs without Qt\n#pragma GCC poison QGLOBAL_H\n")

function(tessarel_forbid_ffmpeg target)
  target_compile_options(${target} PRIVATE "SHELL:-include ${_tessarel_layering_dir}/forbid_ffmpeg.h")
endfunction()

# Our own targets that target links, directly or not (imported ones as they are named).
function(_tessarel_linked_targets target result)
  set(seen ${${result}})
  get_target_property(links ${target} LINK_LIBRARIES)
  if(NOT links)
    return()
  endif()
  foreach(lib IN LISTS links)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
    if(lib IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${lib})
    if(TARGET ${lib} AND NOT lib MATCHES "::")
      _tessarel_linked_targets(${lib} seen)
    endif()
  endforeach()
  set(${result} ${seen} PARENT_SCOPE)
endfunction()

function(_tessarel_check_no_qt_links target)
  set(linked)
  _tessarel_linked_targets(${target} linked)
  foreach(lib IN LISTS linked)
    if(lib MATCHES "Qt")
      message(FATAL_ERROR "${target} must not link Qt (found ${lib})")
    endif()
  endforeach()
endfunction()

function(tessarel_forbid_qt target)
  target_compile_options(${target} PRIVATE "SHELL:-include ${_tessarel_layering_dir}/forbid_qt.h")
  # Checked once everything is configured, so that links added later count too.
  # (A deferred call reads its arguments' variables when it runs: the name goes in as text.)
  cmake_language(EVAL CODE
    "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]] CALL _tessarel_check_no_qt_links [[${target}]])")
endfunction()

# tessarel_limit_includes(target FOLDER dir FORBID regex [ALLOW regex] REASON text)
#   Our own headers carry no include guards to poison, so the target's folder is read instead:
#   building the target fails while a file there includes a header that FORBID matches and ALLOW
#   does not. The check runs again whenever a file of the folder changes.
function(tessarel_limit_includes target)
  cmake_parse_arguments(L "" "FOLDER;FORBID;ALLOW;REASON" "" ${ARGN})
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${L_FOLDER}/*.h ${L_FOLDER}/*.cpp)
  set(stamp ${_tessarel_layering_dir}/${target}_includes.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${files}" "-DFORBID=${L_FORBID}" "-DALLOW=${L_ALLOW}"
            "-DREASON=${L_REASON}" -P ${PROJECT_SOURCE_DIR}/cmake/check_includes.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/check_includes.cmake
    COMMENT "Checking what ${target} includes" VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${stamp})
  add_dependencies(${target} ${target}_includes)
endfunction()

# The layers above the media layer see only its public face.
function(tessarel_media_api_only target folder)
  tessarel_limit_includes(${target} FOLDER ${folder} FORBID "^media/" ALLOW "^media/api/"
    REASON "outside the media layer, only its public face (media/api/) may be included")
endfunction()
