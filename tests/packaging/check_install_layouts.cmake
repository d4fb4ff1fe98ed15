# Installs into a staging folder (DESTDIR) every way a user or packager can: the bundle to the
# user folder, to <prefix>/lib/vst3 for the prefixes /usr and /usr/local (chosen at install
# time, and by the configure option through the install script itself), stripped or not, over
# an older copy, and the probe with its manual page; an unknown layout is refused.
# Usage: cmake -DBUILD_DIR=... -DSTAGE=... -DINSTALL_SCRIPT=... -DBUNDLE=... -DMODULE=...
#              -P check_install_layouts.cmake

cmake_minimum_required(VERSION 3.25)

get_filename_component(bundle_name ${BUNDLE} NAME)
file(RELATIVE_PATH module_in_bundle ${BUNDLE} ${MODULE})
file(SIZE ${MODULE} built_size)
file(READ ${BUNDLE}/Contents/Resources/moduleinfo.json built_moduleinfo)

# check_install(<name> <expected folder of the bundle> <expect failure: 0/1> <command...>)
# Runs the install command with the stage as DESTDIR and checks what it left there.
function(check_install name expected_dir expect_failure)
  file(REMOVE_RECURSE ${STAGE})
  # An older copy with a file the new bundle does not have: it must not survive.
  if(expected_dir)
    file(WRITE ${STAGE}${expected_dir}/${bundle_name}/stale-from-an-older-version "")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} HOME=/home/norvo-test ${ARGN}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_failure)
    if(result EQUAL 0)
      message(FATAL_ERROR "${name}: the install succeeded but should fail")
    endif()
    set(install_error "${err}" PARENT_SCOPE)
    return()
  endif()
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: install failed: ${out}${err}")
  endif()
  set(installed ${STAGE}${expected_dir}/${bundle_name})
  if(EXISTS ${installed}/stale-from-an-older-version)
    message(FATAL_ERROR "${name}: a file of the older copy is still in ${installed}")
  endif()
  if(NOT EXISTS ${installed}/${module_in_bundle})
    message(FATAL_ERROR "${name}: no module at ${installed}/${module_in_bundle}")
  endif()
  file(READ ${installed}/Contents/Resources/moduleinfo.json moduleinfo)
  if(NOT moduleinfo STREQUAL built_moduleinfo)
    message(FATAL_ERROR "${name}: the installed moduleinfo.json differs from the built one")
  endif()
  file(SIZE ${installed}/${module_in_bundle} size)
  set(installed_size ${size} PARENT_SCOPE)
  # Nothing else lands in the stage.
  file(GLOB_RECURSE everything LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
  string(REGEX REPLACE "^/" "" expected_dir_relative "${expected_dir}")
  list(FILTER everything EXCLUDE REGEX "^${expected_dir_relative}/${bundle_name}/")
  if(everything)
    message(FATAL_ERROR "${name}: files outside the bundle were installed: ${everything}")
  endif()
endfunction()

set(install_bundle ${CMAKE_COMMAND} --install ${BUILD_DIR} --component bundle)

check_install("user folder" /home/norvo-test/.vst3 0 ${install_bundle})
if(NOT installed_size EQUAL built_size)
  message(FATAL_ERROR "user folder: the module changed size without --strip")
endif()
check_install("system, prefix /usr" /usr/lib/vst3 0
              ${CMAKE_COMMAND} -E env NORVO_BUNDLE_LAYOUT=system ${install_bundle} --prefix /usr)
check_install("system, prefix /usr/local, stripped" /usr/local/lib/vst3 0
              ${CMAKE_COMMAND} -E env NORVO_BUNDLE_LAYOUT=system
              ${install_bundle} --prefix /usr/local --strip)
if(NOT installed_size LESS built_size)
  message(FATAL_ERROR "--strip left the module at ${installed_size} bytes (built: ${built_size})")
endif()
# The configure option, as the install rules pass it to the install script.
check_install("system by the option" /usr/lib/vst3 0
              ${CMAKE_COMMAND} -DNORVO_INSTALL_SYSTEM=ON -DCMAKE_INSTALL_PREFIX=/usr
              -DNORVO_BUNDLE_SOURCE=${BUNDLE} -DNORVO_BUNDLE_MODULE=${module_in_bundle}
              -P ${INSTALL_SCRIPT})
check_install("unknown layout" "" 1
              ${CMAKE_COMMAND} -E env NORVO_BUNDLE_LAYOUT=elsewhere ${install_bundle})
if(NOT install_error MATCHES "NORVO_BUNDLE_LAYOUT must be user, system or archive")
  message(FATAL_ERROR "unknown layout: unexpected message: ${install_error}")
endif()

# The probe and its manual page.
file(REMOVE_RECURSE ${STAGE})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE}
          ${CMAKE_COMMAND} --install ${BUILD_DIR} --component probe --prefix /usr
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "probe: install failed: ${out}${err}")
endif()
file(GLOB_RECURSE probe_files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
list(SORT probe_files)
if(NOT probe_files STREQUAL "usr/bin/norvo-probe;usr/share/man/man1/norvo-probe.1.gz")
  message(FATAL_ERROR "probe: installed ${probe_files}")
endif()
file(REMOVE_RECURSE ${STAGE})
message(STATUS "the bundle installs to the user and system folders; the probe to bin and man")
