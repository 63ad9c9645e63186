cmake_minimum_required(VERSION 3.20)

# The Group Policy templates as a zip of their own, with the folders of a
# PolicyDefinitions store (policies/Wendlock.admx, policies/en-US/Wendlock.adml),
# dated with the commit like the release zip.
#   cmake -DZIP= -DSOURCE_DIR= -DOUTPUT= -P policies-zip.cmake

include("${CMAKE_CURRENT_LIST_DIR}/source-date.cmake")
wendlock_source_date(epoch "${SOURCE_DIR}")

set(work "${OUTPUT}.tmp")
file(REMOVE_RECURSE "${work}")
set(files policies/Wendlock.admx policies/en-US/Wendlock.adml)
foreach(file IN LISTS files)
    get_filename_component(parent "${work}/${file}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(COPY_FILE "${SOURCE_DIR}/${file}" "${work}/${file}")
endforeach()
wendlock_reproducible_zip("${OUTPUT}" "${work}" "${epoch}" "${ZIP}" ${files})
file(REMOVE_RECURSE "${work}")
