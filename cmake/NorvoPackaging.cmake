# Shipping the plug-in the way Linux VST 3 users install plug-ins.
#  - Contents/Resources/moduleinfo.json is written after every link of the module by norvo-probe,
#    which loads the built module like a host and describes its factory.
#  - `cmake --install`: the bundle (component "bundle") to ~/.vst3, or with
#    -DNORVO_INSTALL_SYSTEM=ON to <prefix>/lib/vst3 (cmake/NorvoInstallBundle.cmake);
#    norvo-probe and its manual page (component "probe") to <prefix>/bin and <prefix>/share/man;
#    the copyright and changelog (component "doc") to <prefix>/share/doc/chord-vst3, with the
#    package's lintian overrides.
#  - CPack (`cpack` in the build folder): chord-vst3_<version>_<arch>.deb with the bundle under
#    /usr/lib/vst3, norvo-probe under /usr/bin and the runtime dependencies dpkg-shlibdeps finds in
#    what the module and the probe link; chord-vst3_<version>_<bundle arch>.tar.gz with the
#    bundle alone at its root, for manual installs.

include(GNUInstallDirs)

option(NORVO_INSTALL_SYSTEM
       "cmake --install puts the bundle in <prefix>/lib/vst3 instead of the user's ~/.vst3" OFF)

set(NORVO_PACKAGE_NAME chord-vst3)
set(NORVO_PACKAGING_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(NORVO_PACKAGING_BINARY_DIR ${PROJECT_BINARY_DIR}/packaging)
set(NORVO_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${NORVO_PACKAGE_NAME})

# norvo_read_product_text(<constant> <variable>)
# A text constant of the product identity (product/product_identity.h), so the package states
# the same vendor, address and name as the plug-in.
function(norvo_read_product_text constant variable)
  set(header ${PROJECT_SOURCE_DIR}/product/product_identity.h)
  file(STRINGS ${header} line REGEX "^inline constexpr const char\\* ${constant} = \"[^\"]*\";")
  if(NOT line MATCHES "= \"([^\"]*)\"")
    message(FATAL_ERROR "${header} defines no text ${constant}")
  endif()
  set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# norvo_add_bundle_packaging(<module target> <bundle folder> <architecture folder>
#                            [<executable target> ...])
# The moduleinfo.json step and the install rules of the bundle. Called in the folder that
# defines the module target (a post-build step must be declared there). The executables (the
# editor's web view helper) lie beside the module and are stripped with it.
function(norvo_add_bundle_packaging module bundle_dir arch_dir)
  # The probe loads the freshly linked module; it must be built first.
  add_dependencies(${module} norvo-probe)
  add_custom_command(TARGET ${module} POST_BUILD
    COMMAND norvo-probe moduleinfo ${bundle_dir}
            -o ${bundle_dir}/Contents/Resources/moduleinfo.json
    COMMENT "Chord.vst3: moduleinfo.json from the built module"
    VERBATIM)

  get_target_property(module_name ${module} OUTPUT_NAME)
  get_target_property(module_suffix ${module} SUFFIX)
  set(executables "")
  foreach(executable IN LISTS ARGN)
    list(APPEND executables "Contents/${arch_dir}/$<TARGET_FILE_NAME:${executable}>")
  endforeach()
  install(CODE "
    set(NORVO_BUNDLE_SOURCE \"${bundle_dir}\")
    set(NORVO_BUNDLE_MODULE \"Contents/${arch_dir}/${module_name}${module_suffix}\")
    set(NORVO_BUNDLE_EXECUTABLES \"${executables}\")
    set(NORVO_INSTALL_SYSTEM ${NORVO_INSTALL_SYSTEM})
    set(NORVO_STRIP \"${CMAKE_STRIP}\")
  " COMPONENT bundle)
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/NorvoInstallBundle.cmake COMPONENT bundle)
  set_property(GLOBAL PROPERTY NORVO_BUNDLE_ARCH ${arch_dir})
endfunction()

# norvo_add_packages()
# norvo-probe with its manual page, the package documents and the CPack configuration. Called
# once, after every target is defined.
function(norvo_add_packages)
  find_program(NORVO_GZIP gzip REQUIRED)
  set(compressed)
  foreach(pair norvo-probe.1:norvo-probe.1 changelog:changelog)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 source)
    list(GET pair 1 name)
    set(copy ${NORVO_PACKAGING_BINARY_DIR}/${name})
    # gzip -n: no name or time stamp inside, so the same sources give the same package.
    add_custom_command(OUTPUT ${copy}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${NORVO_PACKAGING_SOURCE_DIR}/${source} ${copy}
      COMMAND ${NORVO_GZIP} -9nf ${copy}
      DEPENDS ${NORVO_PACKAGING_SOURCE_DIR}/${source}
      VERBATIM)
    list(APPEND compressed ${copy}.gz)
  endforeach()
  add_custom_target(norvo_package_documents ALL DEPENDS ${compressed})

  install(TARGETS norvo-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT probe)
  install(FILES ${NORVO_PACKAGING_BINARY_DIR}/norvo-probe.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT probe)
  install(FILES ${NORVO_PACKAGING_SOURCE_DIR}/copyright ${NORVO_PACKAGING_BINARY_DIR}/changelog.gz
          DESTINATION ${NORVO_PACKAGE_DOC_DIR} COMPONENT doc)
  install(FILES ${NORVO_PACKAGING_SOURCE_DIR}/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${NORVO_PACKAGE_NAME}
          COMPONENT doc)

  norvo_read_product_text(kName product_name)
  norvo_read_product_text(kVendor vendor)
  norvo_read_product_text(kVendorUrl vendor_url)
  norvo_read_product_text(kVendorEmail vendor_email)
  get_property(bundle_arch GLOBAL PROPERTY NORVO_BUNDLE_ARCH)

  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_PACKAGE_NAME ${NORVO_PACKAGE_NAME})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "${vendor}")
  set(CPACK_PACKAGE_CONTACT "${vendor} <${vendor_email}>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${product_name}: a VST 3 MIDI note effect that plays every note as a chord")
  set(CPACK_PACKAGE_CHECKSUM SHA256)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${vendor_url}")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The extended description; CPack puts the summary above it.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "${product_name} turns every incoming note into a chord: the root, then up to\n"
    "three more chord tones from one of six interval sets, optionally spread by\n"
    "octaves and played at a scaled velocity. Every note-off releases exactly what\n"
    "its note-on sent. The plug-in is installed as /usr/lib/vst3/${product_name}.vst3,\n"
    "where VST 3 hosts such as Ardour find it.\n"
    "The package also holds norvo-probe, a command-line VST 3 host that lists a\n"
    "bundle, renders MIDI files through it, opens its editor and writes its\n"
    "moduleinfo.json.")

  # What differs between the two packages is decided when CPack runs each generator.
  set(NORVO_ARCHIVE_FILE_NAME ${NORVO_PACKAGE_NAME}_${PROJECT_VERSION}_${bundle_arch})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/NorvoCPackGenerators.cmake.in
                 ${NORVO_PACKAGING_BINARY_DIR}/NorvoCPackGenerators.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${NORVO_PACKAGING_BINARY_DIR}/NorvoCPackGenerators.cmake)
  include(CPack)
endfunction()
