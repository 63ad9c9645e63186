# The date every file of a release zip carries, so that the same commit gives
# the same zip: SOURCE_DATE_EPOCH, else the date of the last commit.
# Usage: wendlock_source_date(<variable> <source dir>)
function(wendlock_source_date out source_dir)
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
        set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    else()
        execute_process(
            COMMAND git -c safe.directory=* -C "${source_dir}" log -1 --format=%ct
            OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE git_result ERROR_QUIET)
        if(NOT git_result EQUAL 0 OR epoch STREQUAL "")
            message(FATAL_ERROR "No commit date: build from a git checkout or set SOURCE_DATE_EPOCH")
        endif()
    endif()
    if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800)
        # Zip's time stamps start in 1980.
        message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a time after 1980 in seconds: '${epoch}'")
    endif()
    set(${out} "${epoch}" PARENT_SCOPE)
endfunction()

# Zips the files below <folder> (paths relative to it, in sorted order) into
# <zip> the same way every time: Info-ZIP's zip without its extra fields (-X:
# no Unix owner, no access or change times), no folder entries, every file
# with one mode and the time <epoch>.
# Usage: wendlock_reproducible_zip(<zip> <folder> <epoch> <zip program> <file>...)
function(wendlock_reproducible_zip zip folder epoch zip_program)
    set(entries ${ARGN})
    list(SORT entries)
    set(listing "")
    set(paths "")
    foreach(file IN LISTS entries)
        string(APPEND listing "${file}\n")
        list(APPEND paths "${folder}/${file}")
    endforeach()
    set(list_file "${zip}.entries")
    file(WRITE "${list_file}" "${listing}")
    file(CHMOD ${paths} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    execute_process(COMMAND touch -h -d "@${epoch}" ${paths} RESULT_VARIABLE touch_result)
    if(NOT touch_result EQUAL 0)
        message(FATAL_ERROR "touch failed")
    endif()
    file(REMOVE "${zip}")
    # DOS times in the zip are local times: UTC makes them the same everywhere.
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${zip_program}" -X -D -q -9 "${zip}" -@
        WORKING_DIRECTORY "${folder}"
        INPUT_FILE "${list_file}"
        RESULT_VARIABLE zip_result)
    file(REMOVE "${list_file}")
    if(NOT zip_result EQUAL 0)
        message(FATAL_ERROR "zip failed (${zip_result})")
    endif()
endfunction()
