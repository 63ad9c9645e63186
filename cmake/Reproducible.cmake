# The same commit gives the same bytes, wherever the tree is checked out and
# whenever it is built (the release zip and its wendlock.exe: see
# cmake/Packaging.cmake and scripts/check-reproducible.sh).

# No build paths in what the compiler writes (__FILE__, debug information).
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options(
        "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
        "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
endif()

# No link time in the PE header (GNU ld writes one unless told not to).
if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
endif()
