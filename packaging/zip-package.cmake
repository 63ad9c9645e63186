cmake_minimum_required(VERSION 3.20)

# CPack's External generator runs this script on the staged release files
# (cmake/Packaging.cmake). It writes SHA256SUMS beside them and zips them in a
# folder named like the zip, so that the same commit gives the same bytes
# (packaging/source-date.cmake: every file dated with the commit).

include("${CMAKE_CURRENT_LIST_DIR}/source-date.cmake")

set(name "${CPACK_PACKAGE_FILE_NAME}")
set(work "${CPACK_TOPLEVEL_DIRECTORY}/zip")
set(folder "${work}/${name}")
set(zip "${CPACK_TOPLEVEL_DIRECTORY}/${name}.zip")

wendlock_source_date(epoch "${CPACK_WENDLOCK_SOURCE_DIR}")

file(REMOVE_RECURSE "${work}")
file(REMOVE "${zip}")
file(MAKE_DIRECTORY "${folder}")
file(GLOB_RECURSE staged RELATIVE "${CPACK_TEMPORARY_DIRECTORY}" "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
    get_filename_component(parent "${folder}/${file}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(COPY_FILE "${CPACK_TEMPORARY_DIRECTORY}/${file}" "${folder}/${file}")
endforeach()

# The file names sort the same way in every locale: they are ASCII.
list(SORT staged)
set(sums "")
foreach(file IN LISTS staged)
    file(SHA256 "${folder}/${file}" hash)
    string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${folder}/SHA256SUMS" "${sums}")

set(entries "")
foreach(file IN LISTS staged ITEMS SHA256SUMS)
    list(APPEND entries "${name}/${file}")
endforeach()
wendlock_reproducible_zip("${zip}" "${work}" "${epoch}" "${CPACK_WENDLOCK_ZIP}" ${entries})
set(CPACK_EXTERNAL_BUILT_PACKAGES "${zip}")
