# Installs the bundle component into a staging folder (DESTDIR) and checks what a host and the
# editor find there: the module, the editor's web view helper, the page and a manifest whose three facts are filled, its
# "sha256" being the documented digest of the page sources.
# Usage: cmake -DBUILD_DIR=... -DSTAGE=... -DUI_SOURCE_DIR=... -P check_bundle_install.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${STAGE})
set(home /home/norvo-test)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} HOME=${home}
          ${CMAKE_COMMAND} --install ${BUILD_DIR} --component bundle
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed: ${out}${err}")
endif()

set(bundle ${STAGE}${home}/.vst3/Chord.vst3)
foreach(f Contents/x86_64-linux/Chord.so Contents/x86_64-linux/norvo-webview-host
          Contents/Resources/ui/index.html Contents/Resources/ui/manifest.json)
  if(NOT EXISTS ${bundle}/${f})
    message(FATAL_ERROR "missing from the installed bundle: ${f}")
  endif()
endforeach()

file(READ ${bundle}/Contents/Resources/ui/manifest.json manifest)
foreach(key buildTime sourceRevision sha256)
  string(JSON value ERROR_VARIABLE json_error GET "${manifest}" ${key})
  if(json_error OR value STREQUAL "")
    message(FATAL_ERROR "manifest.json lacks \"${key}\": ${manifest}")
  endif()
  set(fact_${key} "${value}")
endforeach()
if(NOT fact_buildTime MATCHES "^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]Z$")
  message(FATAL_ERROR "buildTime is not an ISO 8601 UTC time: ${fact_buildTime}")
endif()

# The page digest: "<sha256>  <relative path>\n" per file, sorted by path, hashed.
file(GLOB_RECURSE files RELATIVE ${UI_SOURCE_DIR} ${UI_SOURCE_DIR}/*)
list(REMOVE_ITEM files manifest.json README.md)
list(SORT files)
set(listing "")
foreach(rel IN LISTS files)
  file(SHA256 ${UI_SOURCE_DIR}/${rel} h)
  string(APPEND listing "${h}  ${rel}\n")
endforeach()
string(SHA256 expected "${listing}")
if(NOT fact_sha256 STREQUAL expected)
  message(FATAL_ERROR "sha256 ${fact_sha256} is not the page digest ${expected}")
endif()
file(REMOVE_RECURSE ${STAGE})
message(STATUS "bundle installs with page and manifest")
