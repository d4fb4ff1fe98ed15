# NORVO_SANITIZE=address builds everything with AddressSanitizer + UndefinedBehaviorSanitizer,
# NORVO_SANITIZE=thread with ThreadSanitizer, NORVO_SANITIZE=fuzzer for the libFuzzer targets.
if(NORVO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(NORVO_SANITIZED=1)
elseif(NORVO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(NORVO_SANITIZED=1)
elseif(NORVO_SANITIZE STREQUAL "fuzzer")
  # Libraries get coverage instrumentation; the fuzz targets themselves link -fsanitize=fuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(NORVO_SANITIZED=1 NORVO_FUZZING=1)
elseif(NOT NORVO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "NORVO_SANITIZE must be empty, address, thread or fuzzer (got '${NORVO_SANITIZE}')")
endif()
