# Warnings every target of the project builds with; NORVO_WERROR makes them errors.
add_compile_options(-Wall -Wextra)
if(NORVO_WERROR)
  add_compile_options(-Werror)
endif()
