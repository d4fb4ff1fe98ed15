# Copies the editor page (ui/) into the bundle's Contents/Resources/ui and writes manifest.json
# beside it with three facts the module reports about its page:
#   "buildTime"      when the bundle was built, UTC, ISO 8601 (SOURCE_DATE_EPOCH is honoured);
#   "sourceRevision" the git commit the sources came from ("unknown" outside a git checkout);
#   "sha256"         the SHA-256 of the page as shipped: every file under ui/ except
#                    manifest.json and README.md (notes for developers, not shipped), sorted by relative path, is listed as one line
#                    "<sha256 of the file>  <relative path>\n" (the format of sha256sum); the
#                    value is the SHA-256 of that listing, so any changed, added or removed
#                    file changes it.
# Usage: cmake -DUI_SOURCE_DIR=... -DUI_BUNDLE_DIR=... -DSOURCE_DIR=... -P write_ui_bundle.cmake

cmake_minimum_required(VERSION 3.25)

foreach(var UI_SOURCE_DIR UI_BUNDLE_DIR SOURCE_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "write_ui_bundle.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${UI_BUNDLE_DIR})
file(MAKE_DIRECTORY ${UI_BUNDLE_DIR})

file(GLOB_RECURSE files RELATIVE ${UI_SOURCE_DIR} ${UI_SOURCE_DIR}/*)
list(REMOVE_ITEM files manifest.json README.md)
list(SORT files)
set(listing "")
foreach(rel IN LISTS files)
  get_filename_component(dir ${UI_BUNDLE_DIR}/${rel} DIRECTORY)
  file(COPY ${UI_SOURCE_DIR}/${rel} DESTINATION ${dir})
  file(SHA256 ${UI_SOURCE_DIR}/${rel} file_hash)
  string(APPEND listing "${file_hash}  ${rel}\n")
endforeach()
string(SHA256 ui_hash "${listing}")

string(TIMESTAMP build_time "%Y-%m-%dT%H:%M:%SZ" UTC)

set(revision "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse HEAD
                  OUTPUT_VARIABLE git_revision OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_result ERROR_QUIET)
  if(git_result EQUAL 0 AND git_revision MATCHES "^[0-9a-f]+$")
    set(revision ${git_revision})
  endif()
endif()

file(WRITE ${UI_BUNDLE_DIR}/manifest.json
     "{\"buildTime\":\"${build_time}\",\"sourceRevision\":\"${revision}\",\"sha256\":\"${ui_hash}\"}\n")
