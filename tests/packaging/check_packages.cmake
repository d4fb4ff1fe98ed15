# Builds the Debian package and the bundle archive with CPack and checks them the way a user
# meets them: lintian finds no error; the package holds the bundle under /usr/lib/vst3 (with
# its moduleinfo.json), norvo-probe under /usr/bin with its manual page and the documents, and
# nothing else; unpacked into a clean folder with dpkg -x, the installed probe loads the
# installed bundle, and Depends names the package of every library the module, the editor's web
# view helper and the probe link; the archive unpacks to the bundle alone, which loads too. Leaves the unpacked package in <WORK>/root for later checks.
# Usage: cmake -DBUILD_DIR=... -DWORK=... -DVERSION=... -DBUNDLE_ARCH=... -DCHANGELOG=...
#              -P check_packages.cmake

cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed (${result}):\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

foreach(tool dpkg-deb lintian objdump ldd)
  find_program(tool_path ${tool} NO_CACHE)
  if(NOT tool_path)
    message(FATAL_ERROR "${tool} is not installed (scripts/install-test-deps installs it)")
  endif()
  unset(tool_path)
endforeach()
get_filename_component(cmake_bin ${CMAKE_COMMAND} DIRECTORY)
find_program(CPACK cpack HINTS ${cmake_bin} NO_CACHE REQUIRED)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE)

run(${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK})
set(deb ${WORK}/chord-vst3_${VERSION}_${deb_arch}.deb)
set(archive ${WORK}/chord-vst3_${VERSION}_${BUNDLE_ARCH}.tar.gz)
foreach(file ${deb} ${archive})
  if(NOT EXISTS ${file})
    file(GLOB made ${WORK}/*.deb ${WORK}/*.tar.gz)
    message(FATAL_ERROR "CPack made no ${file} (it made: ${made})")
  endif()
endforeach()

# --- the control fields ---
run(dpkg-deb --field ${deb} Package Version Architecture Section Maintainer Depends)
set(control "${out}")
foreach(line "Package: chord-vst3" "Version: ${VERSION}" "Architecture: ${deb_arch}"
             "Section: sound" "Maintainer: Norvo Music <support@norvo.music>")
  string(FIND "${control}" "${line}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "the control fields lack \"${line}\":\n${control}")
  endif()
endforeach()
# --- the files ---
run(dpkg-deb --contents ${deb})
string(REGEX MATCHALL "\\./[^\n]*[^/\n]\n" entries "${out}")
set(files)
foreach(entry IN LISTS entries)
  string(STRIP "${entry}" entry)
  string(REGEX REPLACE "^\\./" "/" entry "${entry}")
  list(APPEND files "${entry}")
endforeach()
set(bundle /usr/lib/vst3/Chord.vst3)
foreach(required ${bundle}/Contents/${BUNDLE_ARCH}/Chord.so
                 ${bundle}/Contents/${BUNDLE_ARCH}/norvo-webview-host
                 ${bundle}/Contents/Resources/moduleinfo.json
                 ${bundle}/Contents/Resources/ui/index.html
                 ${bundle}/Contents/Resources/ui/manifest.json
                 /usr/bin/norvo-probe /usr/share/man/man1/norvo-probe.1.gz
                 /usr/share/doc/chord-vst3/copyright /usr/share/doc/chord-vst3/changelog.gz
                 /usr/share/lintian/overrides/chord-vst3)
  if(NOT required IN_LIST files)
    message(FATAL_ERROR "the package lacks ${required}; it holds:\n${out}")
  endif()
endforeach()
set(strays ${files})
list(FILTER strays EXCLUDE REGEX
     "^(${bundle}/|/usr/bin/norvo-probe$|/usr/share/man/man1/|/usr/share/doc/chord-vst3/)")
list(REMOVE_ITEM strays /usr/share/lintian/overrides/chord-vst3)
if(strays)
  message(FATAL_ERROR "the package holds files outside its places: ${strays}")
endif()

# --- the changelog names this version ---
file(STRINGS ${CHANGELOG} first_line LIMIT_COUNT 1)
if(NOT first_line MATCHES "^chord-vst3 \\(${VERSION}\\) ")
  message(FATAL_ERROR "${CHANGELOG} begins with \"${first_line}\", not an entry for ${VERSION}")
endif()

# --- lintian: no error (warnings are printed for the log) ---
execute_process(COMMAND lintian --fail-on error --tag-display-limit 0 ${deb}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "lintian:\n${out}${err}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors in ${deb}")
endif()

# --- installed into a clean folder, the probe loads the bundle ---
set(root ${WORK}/root)
run(dpkg-deb -x ${deb} ${root})
run(${root}/usr/bin/norvo-probe info ${root}${bundle})
string(FIND "${out}" "name: \"Chord\"\n" named)
file(READ ${root}${bundle}/Contents/Resources/moduleinfo.json moduleinfo)
string(FIND "${out}" "moduleinfo.json\n${moduleinfo}" listed)
if(named LESS 0 OR listed LESS 0)
  message(FATAL_ERROR "norvo-probe info on the installed bundle:\n${out}")
endif()

# --- Depends names the package of every library the module and the probe link ---
foreach(binary ${root}/usr/bin/norvo-probe ${root}${bundle}/Contents/${BUNDLE_ARCH}/Chord.so
               ${root}${bundle}/Contents/${BUNDLE_ARCH}/norvo-webview-host)
  run(objdump -p ${binary})
  string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${out}")
  run(ldd ${binary})
  set(resolved "${out}")
  foreach(entry IN LISTS needed)
    string(REGEX REPLACE "NEEDED +" "" soname "${entry}")
    string(STRIP "${soname}" soname)
    string(REPLACE "+" "\\+" soname_pattern "${soname}")
    # "libx.so.1 => /path/libx.so.1 (...)", or the loader itself by its path.
    if(resolved MATCHES "${soname_pattern} => (/[^ ]+)")
      set(path ${CMAKE_MATCH_1})
    elseif(resolved MATCHES "[ \t](/[^ ]*/${soname_pattern}) ")
      set(path ${CMAKE_MATCH_1})
    else()
      message(FATAL_ERROR "${binary} links ${soname}, which ldd does not find:\n${resolved}")
    endif()
    # Merged /usr: a library may be registered under /lib or /usr/lib.
    string(REGEX REPLACE "^/usr/" "/" other_path ${path})
    if(other_path STREQUAL path)
      set(other_path /usr${path})
    endif()
    execute_process(COMMAND dpkg -S ${path} RESULT_VARIABLE result OUTPUT_VARIABLE owner
                    ERROR_QUIET)
    if(NOT result EQUAL 0)
      execute_process(COMMAND dpkg -S ${other_path} RESULT_VARIABLE result OUTPUT_VARIABLE owner
                      ERROR_QUIET)
    endif()
    if(NOT result EQUAL 0 OR NOT owner MATCHES "^([^:, ]+)")
      message(FATAL_ERROR "no installed package holds ${path} (linked by ${binary})")
    endif()
    set(package ${CMAKE_MATCH_1})
    string(REPLACE "+" "\\+" package_pattern "${package}")
    if(NOT control MATCHES "Depends: ([^\n]*[ ,|])?${package_pattern}([ ,|(][^\n]*)?\n")
      message(FATAL_ERROR "${binary} links ${soname} of ${package}, which Depends lacks:\n${control}")
    endif()
  endforeach()
endforeach()

# --- the archive: the bundle alone at its root ---
set(unpacked ${WORK}/archive)
file(MAKE_DIRECTORY ${unpacked})
run(${CMAKE_COMMAND} -E chdir ${unpacked} ${CMAKE_COMMAND} -E tar xzf ${archive})
file(GLOB top RELATIVE ${unpacked} ${unpacked}/*)
if(NOT top STREQUAL "Chord.vst3")
  message(FATAL_ERROR "the archive unpacks to ${top}, not Chord.vst3 alone")
endif()
run(${root}/usr/bin/norvo-probe info ${unpacked}/Chord.vst3)
string(FIND "${out}" "moduleinfo.json\n${moduleinfo}" listed)
if(listed LESS 0)
  message(FATAL_ERROR "norvo-probe info on the unpacked archive:\n${out}")
endif()
message(STATUS "${deb} and ${archive} install and load")
