# The release artifacts of the Windows program and what they are made with.

# scripts/screenshots.sh: where a window is, to crop the guide's pictures.
add_executable(window-rect EXCLUDE_FROM_ALL docs/tools/window-rect.cpp)
target_link_libraries(window-rect PRIVATE wendlock_win_defs)
