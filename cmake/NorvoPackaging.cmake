# Shipping the plug-in the way Linux VST 3 users install plug-ins.
#  - Contents/Resources/moduleinfo.json is written after every link of the module by norvo-probe,
#    which loads the built module like a host and describes its factory.
#  - `cmake --install`: the bundle (component "bundle") to ~/.vst3, or with
#    -DNORVO_INSTALL_SYSTEM=ON to <prefix>/lib/vst3 (cmake/NorvoInstallBundle.cmake);
#    norvo-probe and its manual page (component "probe") to <prefix>/bin and <prefix>/share/man.

include(GNUInstallDirs)

option(NORVO_INSTALL_SYSTEM
       "cmake --install puts the bundle in <prefix>/lib/vst3 instead of the user's ~/.vst3" OFF)

set(NORVO_PACKAGING_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(NORVO_PACKAGING_BINARY_DIR ${PROJECT_BINARY_DIR}/packaging)

# norvo_add_bundle_packaging(<module target> <bundle folder> <architecture folder>)
# The moduleinfo.json step and the install rules of the bundle. Called in the folder that
# defines the module target (a post-build step must be declared there).
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
  install(CODE "
    set(NORVO_BUNDLE_SOURCE \"${bundle_dir}\")
    set(NORVO_BUNDLE_MODULE \"Contents/${arch_dir}/${module_name}${module_suffix}\")
    set(NORVO_INSTALL_SYSTEM ${NORVO_INSTALL_SYSTEM})
    set(NORVO_STRIP \"${CMAKE_STRIP}\")
  " COMPONENT bundle)
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/NorvoInstallBundle.cmake COMPONENT bundle)
  set_property(GLOBAL PROPERTY NORVO_BUNDLE_ARCH ${arch_dir})
endfunction()

# norvo_add_packages()
# norvo-probe with its manual page. Called once, after every target is defined.
function(norvo_add_packages)
  find_program(NORVO_GZIP gzip REQUIRED)
  set(manual ${NORVO_PACKAGING_BINARY_DIR}/norvo-probe.1)
  # gzip -n: no name or time stamp inside, so the same sources give the same file.
  add_custom_command(OUTPUT ${manual}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${NORVO_PACKAGING_SOURCE_DIR}/norvo-probe.1 ${manual}
    COMMAND ${NORVO_GZIP} -9nf ${manual}
    DEPENDS ${NORVO_PACKAGING_SOURCE_DIR}/norvo-probe.1
    VERBATIM)
  add_custom_target(norvo_package_documents ALL DEPENDS ${manual}.gz)

  install(TARGETS norvo-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT probe)
  install(FILES ${manual}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT probe)
endfunction()
