# Checks the dynamic symbol table of the built module: every exported function must be one of
# the module's C entry points, and the VST 3 entry points and the kernel's flat interface must
# all be there, with the further entry points named in EXTRA_REQUIRED (a list).
# Usage: cmake -DMODULE=<path to Chord.so> -DNM=<nm> [-DEXTRA_REQUIRED=a;b] -P check_module_exports.cmake

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${MODULE}: ${errors}")
endif()

set(allowed_exact
  GetPluginFactory ModuleEntry ModuleExit bundleEntry bundleExit
  norvoCreateBridgedWebView norvoDetachBridgedWebView norvoStartCadenceClock norvoStopCadenceClock
  norvoUiRootForImageAddress norvoPluginUiRootForDiagnostics
  norvoDiagnosticBridgeAbiVersion norvoInstallDiagnosticBridgeSink
  norvoDeliverDiagnosticBridgeMessage norvoTickDiagnosticCadence)
set(required GetPluginFactory ModuleEntry ModuleExit bundleEntry bundleExit ${EXTRA_REQUIRED})
foreach(suffix runtime_init set_panic_sink collect abi_version create input_view output_view
               push_event process reset destroy event_output_count event_output_frame
               event_output_kind event_output_a event_output_b event_output_read
               event_output_columns push_events)
  list(APPEND required chord_5f2c9e_${suffix})
endforeach()

set(exported "")
set(unexpected "")
string(REPLACE "\n" ";" lines "${symbols}")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) (.+)$")
    continue()
  endif()
  set(type ${CMAKE_MATCH_1})
  set(name ${CMAKE_MATCH_2})
  string(REGEX REPLACE "@.*$" "" name "${name}")
  # Only code and data the module defines count; absolute version nodes do not.
  if(type STREQUAL "A")
    continue()
  endif()
  list(APPEND exported ${name})
  if(NOT name IN_LIST allowed_exact AND NOT name MATCHES "^chord_5f2c9e_[a-z_]+$")
    list(APPEND unexpected ${name})
  endif()
endforeach()

set(missing "")
foreach(name IN LISTS required)
  if(NOT name IN_LIST exported)
    list(APPEND missing ${name})
  endif()
endforeach()

if(unexpected OR missing)
  list(LENGTH unexpected unexpected_count)
  message(FATAL_ERROR "Module exports are wrong.\n"
                      "Unexpected (${unexpected_count}): ${unexpected}\nMissing: ${missing}")
endif()
list(LENGTH exported count)
message(STATUS "${count} exported symbols, all expected")
