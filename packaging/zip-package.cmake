cmake_minimum_required(VERSION 3.20)

# CPack's External generator runs this script on the staged release files
# (cmake/Packaging.cmake). It writes SHA256SUMS beside them and zips them in a
# folder named like the zip, so that the same commit gives the same bytes:
# Info-ZIP's zip without its extra fields (-X: no Unix owner, no access or
# change times), the entries in sorted order, and every file with one mode and
# one time, the commit's (SOURCE_DATE_EPOCH, else the commit date from git).

set(name "${CPACK_PACKAGE_FILE_NAME}")
set(work "${CPACK_TOPLEVEL_DIRECTORY}/zip")
set(folder "${work}/${name}")
set(zip "${CPACK_TOPLEVEL_DIRECTORY}/${name}.zip")

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
    execute_process(
        COMMAND git -c safe.directory=* -C "${CPACK_WENDLOCK_SOURCE_DIR}" log -1 --format=%ct
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE git_result ERROR_QUIET)
    if(NOT git_result EQUAL 0 OR epoch STREQUAL "")
        message(FATAL_ERROR "No commit date: build from a git checkout or set SOURCE_DATE_EPOCH")
    endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800)
    # Zip's time stamps start in 1980.
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a time after 1980 in seconds: '${epoch}'")
endif()

file(REMOVE_RECURSE "${work}")
file(REMOVE "${zip}")
file(MAKE_DIRECTORY "${folder}")
file(GLOB staged RELATIVE "${CPACK_TEMPORARY_DIRECTORY}" "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
    if(IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}/${file}")
        message(FATAL_ERROR "The release is flat: no folder expected in the staging area (${file})")
    endif()
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

set(entries ${staged} SHA256SUMS)
list(SORT entries)
set(listing "")
set(paths "")
foreach(file IN LISTS entries)
    string(APPEND listing "${name}/${file}\n")
    list(APPEND paths "${folder}/${file}")
endforeach()
file(WRITE "${work}/entries.txt" "${listing}")
file(CHMOD ${paths} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
execute_process(COMMAND touch -h -d "@${epoch}" ${paths} RESULT_VARIABLE touch_result)
if(NOT touch_result EQUAL 0)
    message(FATAL_ERROR "touch failed")
endif()

# DOS times in the zip are local times: UTC makes them the same everywhere.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${CPACK_WENDLOCK_ZIP}" -X -D -q -9 "${zip}" -@
    WORKING_DIRECTORY "${work}"
    INPUT_FILE "${work}/entries.txt"
    RESULT_VARIABLE zip_result)
if(NOT zip_result EQUAL 0)
    message(FATAL_ERROR "zip failed (${zip_result})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${zip}")
