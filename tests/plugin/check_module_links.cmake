# Checks that the built module loads no UI toolkit into a host's process: neither its own
# dynamic section (readelf -d) nor anything it pulls in (ldd) names GTK, GDK, GLib or WebKit.
# The editor's web view helper, which does link them, is read the same way, so that a reading
# that sees nothing fails too.
# Usage: cmake -DMODULE=<Chord.so> -DHELPER=<norvo-webview-host> -DREADELF=<readelf> -DLDD=<ldd>
#        -P check_module_links.cmake

cmake_minimum_required(VERSION 3.25)

# Library name patterns that must stay out of the host's process.
set(forbidden
  "libgtk-" "libgdk-" "libgdk_pixbuf" "libglib-2" "libgobject-2" "libgio-2" "libgmodule-2"
  "libwebkit2gtk" "libjavascriptcoregtk" "libsoup-")
# Of those, what the helper must show.
set(helper_required "libwebkit2gtk" "libgtk-" "libglib-2")

function(needed_libraries file out)
  execute_process(COMMAND ${READELF} -d ${file}
                  OUTPUT_VARIABLE text RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${READELF} -d ${file} failed: ${errors}")
  endif()
  string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" lines "${text}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".*\\[([^]]+)\\]" "\\1" name "${line}")
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(loaded_libraries file out)
  execute_process(COMMAND ${LDD} ${file}
                  OUTPUT_VARIABLE text RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${LDD} ${file} failed: ${errors}")
  endif()
  string(REGEX MATCHALL "[^ \t\n/]+\\.so[^ \t\n]*" names "${text}")
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(matching names out)
  set(hits "")
  foreach(name IN LISTS names)
    foreach(pattern IN LISTS forbidden)
      string(FIND "${name}" "${pattern}" at)
      if(at EQUAL 0)
        list(APPEND hits ${name})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES hits)
  set(${out} ${hits} PARENT_SCOPE)
endfunction()

needed_libraries(${HELPER} helper_needed)
foreach(pattern IN LISTS helper_required)
  set(seen FALSE)
  foreach(name IN LISTS helper_needed)
    string(FIND "${name}" "${pattern}" at)
    if(at EQUAL 0)
      set(seen TRUE)
    endif()
  endforeach()
  if(NOT seen)
    message(FATAL_ERROR "the helper ${HELPER} shows no ${pattern}*: ${helper_needed}")
  endif()
endforeach()

needed_libraries(${MODULE} module_needed)
if(NOT module_needed)
  message(FATAL_ERROR "no NEEDED entries read from ${MODULE}")
endif()
matching("${module_needed}" direct)
loaded_libraries(${MODULE} module_loaded)
matching("${module_loaded}" indirect)
if(direct OR indirect)
  message(FATAL_ERROR "${MODULE} brings a UI toolkit into the host: ${direct} ${indirect}")
endif()
message(STATUS "${MODULE} needs ${module_needed}")
