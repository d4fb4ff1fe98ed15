# Warnings every target of the project builds with.
add_compile_options(-Wall -Wextra)
