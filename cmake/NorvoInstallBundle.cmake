# Installs the built plug-in bundle. Runs at install time (`cmake --install`, CPack), included
# by the install rules of cmake/NorvoPackaging.cmake, which set NORVO_BUNDLE_SOURCE (the built
# bundle), NORVO_BUNDLE_MODULE (its module, relative to the bundle), NORVO_BUNDLE_EXECUTABLES
# (programs in the bundle, relative to it, stripped with the module), NORVO_INSTALL_SYSTEM and
# NORVO_STRIP before it.
#
# Where the bundle goes, by layout:
#   user     $HOME/.vst3                 the default: where Linux hosts look for one user's plug-ins
#   system   <prefix>/lib/vst3           NORVO_INSTALL_SYSTEM=ON, and the Debian package
#                                        (/usr/lib/vst3, or /usr/local/lib/vst3 for /usr/local)
#   archive  <prefix>                    the .tar.gz: the bundle at the archive's root
# The environment variable NORVO_BUNDLE_LAYOUT (user, system or archive) overrides the option for
# one installation; the package configuration sets it. An older copy of the bundle is removed
# first, so no file of a previous version stays behind. DESTDIR is honoured.

if(NOT EXISTS "${NORVO_BUNDLE_SOURCE}/${NORVO_BUNDLE_MODULE}" OR
   NOT EXISTS "${NORVO_BUNDLE_SOURCE}/Contents/Resources/moduleinfo.json")
  message(FATAL_ERROR "${NORVO_BUNDLE_SOURCE} is not built yet: build the chord_module target first")
endif()

if(DEFINED ENV{NORVO_BUNDLE_LAYOUT} AND NOT "$ENV{NORVO_BUNDLE_LAYOUT}" STREQUAL "")
  set(norvo_layout "$ENV{NORVO_BUNDLE_LAYOUT}")
elseif(NORVO_INSTALL_SYSTEM)
  set(norvo_layout system)
else()
  set(norvo_layout user)
endif()

if(norvo_layout STREQUAL "user")
  if("$ENV{HOME}" STREQUAL "")
    message(FATAL_ERROR "HOME is not set: no user folder to install the bundle to")
  endif()
  set(norvo_destination "$ENV{HOME}/.vst3")
elseif(norvo_layout STREQUAL "system")
  set(norvo_destination "${CMAKE_INSTALL_PREFIX}/lib/vst3")
elseif(norvo_layout STREQUAL "archive")
  set(norvo_destination "${CMAKE_INSTALL_PREFIX}")
else()
  message(FATAL_ERROR "NORVO_BUNDLE_LAYOUT must be user, system or archive (got '${norvo_layout}')")
endif()

get_filename_component(norvo_bundle_name "${NORVO_BUNDLE_SOURCE}" NAME)
# file(INSTALL) puts DESTDIR in front of an absolute destination itself; the other steps do it
# here.
set(norvo_installed "$ENV{DESTDIR}${norvo_destination}/${norvo_bundle_name}")
file(REMOVE_RECURSE "${norvo_installed}")
file(INSTALL DESTINATION "${norvo_destination}" TYPE DIRECTORY FILES "${NORVO_BUNDLE_SOURCE}"
     USE_SOURCE_PERMISSIONS)
if(CMAKE_INSTALL_DO_STRIP AND NORVO_STRIP)
  foreach(norvo_binary "${NORVO_BUNDLE_MODULE}" ${NORVO_BUNDLE_EXECUTABLES})
    execute_process(COMMAND "${NORVO_STRIP}" "${norvo_installed}/${norvo_binary}"
                    RESULT_VARIABLE norvo_strip_result)
    if(NOT norvo_strip_result EQUAL 0)
      message(FATAL_ERROR "cannot strip ${norvo_installed}/${norvo_binary}")
    endif()
  endforeach()
endif()
message(STATUS "Installed: ${norvo_installed}")
