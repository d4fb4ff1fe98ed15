# Shipping the plug-in the way Linux VST 3 users install plug-ins.
#  - Contents/Resources/moduleinfo.json is written after every link of the module by norvo-probe,
#    which loads the built module like a host and describes its factory.

# norvo_add_bundle_packaging(<module target> <bundle folder> <architecture folder>)
# The moduleinfo.json step of the bundle. Called in the folder that defines the module target
# (a post-build step must be declared there).
function(norvo_add_bundle_packaging module bundle_dir arch_dir)
  # The probe loads the freshly linked module; it must be built first.
  add_dependencies(${module} norvo-probe)
  add_custom_command(TARGET ${module} POST_BUILD
    COMMAND norvo-probe moduleinfo ${bundle_dir}
            -o ${bundle_dir}/Contents/Resources/moduleinfo.json
    COMMENT "Chord.vst3: moduleinfo.json from the built module"
    VERBATIM)
endfunction()
