# Small helpers so every folder declares its library and tests the same way.

# norvo_add_library(<name> SOURCES ... [DEPS ...] [PUBLIC_INCLUDE <dir>])
# A static library whose headers are included as "<folder>/<file>.h" from the source root.
function(norvo_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  # The layering test reads every project library's folder, sources and links.
  set_property(GLOBAL APPEND PROPERTY NORVO_LIBRARIES ${name})
  set_property(GLOBAL APPEND PROPERTY NORVO_DECLARED_DEPS ${ARG_DEPS})
endfunction()

# The compile options of the audio path in the optimized configurations: -O3 (more inlining,
# loops unrolled and vectorized) and, with gcc, link-time optimization across the audio path's
# own objects. The objects keep their ordinary code beside the intermediate one (fat objects),
# so a target linked without -flto (the tests) links them as usual; only the module's link,
# which asks for it, optimizes across them. Debug and sanitizer builds keep their own flags.
set(NORVO_AUDIO_PATH_OPTIONS $<$<CONFIG:Release,RelWithDebInfo>:-O3>)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND NORVO_AUDIO_PATH_OPTIONS
       $<$<CONFIG:Release,RelWithDebInfo>:-flto=auto> $<$<CONFIG:Release,RelWithDebInfo>:-ffat-lto-objects>)
endif()

# norvo_audio_path_speed(<target>)
# Builds a library on the audio path with NORVO_AUDIO_PATH_OPTIONS.
function(norvo_audio_path_speed target)
  target_compile_options(${target} PRIVATE ${NORVO_AUDIO_PATH_OPTIONS})
endfunction()

# norvo_add_test(<name> SOURCES ... [DEPS ...] [LABELS ...])
# A GoogleTest binary registered with CTest, one CTest entry per test case.
function(norvo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  set_property(GLOBAL APPEND PROPERTY NORVO_DECLARED_DEPS ${ARG_DEPS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  set(labels ${ARG_LABELS})
  if("threads" IN_LIST labels)
    # The ThreadSanitizer run builds only these.
    add_dependencies(norvo_threads_tests ${name})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
endfunction()

# norvo_check_declared_deps()
# Every norvo_* name a library or test lists must be a target: a misspelt or removed library is
# a configure error, never a silent "-lnorvo_..." link flag.
function(norvo_check_declared_deps)
  get_property(deps GLOBAL PROPERTY NORVO_DECLARED_DEPS)
  list(REMOVE_DUPLICATES deps)
  foreach(dep IN LISTS deps)
    if(dep MATCHES "^norvo_" AND NOT TARGET ${dep})
      message(FATAL_ERROR "A library or test depends on '${dep}', which is not a target")
    endif()
  endforeach()
endfunction()
