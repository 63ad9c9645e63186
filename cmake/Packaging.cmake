# The release artifacts of the Windows program, made from the same files:
#
#   cmake --build <tree> --target package   Wendlock-<version>-win64.zip (CPack)
#   cmake --build <tree> --target msi       Wendlock-<version>-win64.msi (wixl)
#
# (scripts/package.sh makes either from a fresh clone.) The zip holds
# wendlock.exe, the four tray icons, the example newlnks.example.ini, the user guide
# (docs/user-guide.md as one HTML file with its pictures), the licence and
# SHA256SUMS, in a folder named like the zip; the MSI installs the same files
# but SHA256SUMS. The version is the project version.
#
# The zip is reproducible (cmake/Reproducible.cmake, packaging/zip-package.cmake):
# the same commit gives the same bytes. The tools are Debian's: cmark-gfm, zip,
# and for the MSI wixl and msitools. Without them the targets are left out.

# scripts/screenshots.sh: where a window is, to crop the guide's pictures.
add_executable(window-rect EXCLUDE_FROM_ALL docs/tools/window-rect.cpp)
target_link_libraries(window-rect PRIVATE wendlock_win_defs)

# No DLL that Windows would look for beside the exe (a planted one would run).
if(WENDLOCK_TESTS AND CMAKE_OBJDUMP)
    add_test(NAME Package.ImportsOnlyKnownDlls
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:wendlock>
                -P ${CMAKE_SOURCE_DIR}/packaging/check-imports.cmake)
endif()

find_program(WENDLOCK_CMARK cmark-gfm)
find_program(WENDLOCK_ZIP zip)
find_program(WENDLOCK_WIXL wixl)
find_program(WENDLOCK_MSIBUILD msibuild)
find_program(WENDLOCK_MSIINFO msiinfo)
if(NOT WENDLOCK_CMARK OR NOT WENDLOCK_ZIP OR NOT CMAKE_STRIP OR NOT CMAKE_HOST_UNIX)
    message(STATUS "cmark-gfm, zip or strip not found: no package target")
    return()
endif()

set(WENDLOCK_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
set(WENDLOCK_PACKAGE_NAME Wendlock-${PROJECT_VERSION}-win64)
set(WENDLOCK_RELEASE_EXE ${WENDLOCK_RELEASE_DIR}/wendlock.exe)
set(WENDLOCK_GUIDE_HTML "${WENDLOCK_RELEASE_DIR}/User Guide.html")

# The released exe leaves out the symbol table and the debug sections that the
# static C and C++ run-times bring (half the size); the code is the same.
# strip writes the time of day into the PE header unless SOURCE_DATE_EPOCH
# says otherwise: 0, as the linker leaves it (cmake/Reproducible.cmake).
add_custom_command(OUTPUT ${WENDLOCK_RELEASE_EXE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${WENDLOCK_RELEASE_DIR}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_STRIP} -o ${WENDLOCK_RELEASE_EXE} $<TARGET_FILE:wendlock>
    DEPENDS wendlock
    VERBATIM)

file(GLOB WENDLOCK_GUIDE_IMAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/images/*.png)
add_custom_command(OUTPUT ${WENDLOCK_GUIDE_HTML}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${WENDLOCK_RELEASE_DIR}
    COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/guide-html.sh ${WENDLOCK_CMARK}
            ${CMAKE_SOURCE_DIR}/docs/user-guide.md ${CMAKE_SOURCE_DIR}/packaging/guide.html.in ${WENDLOCK_GUIDE_HTML}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/user-guide.md ${WENDLOCK_GUIDE_IMAGES}
            ${CMAKE_SOURCE_DIR}/packaging/guide-html.sh ${CMAKE_SOURCE_DIR}/packaging/guide.html.in
    VERBATIM)
add_custom_target(release_files ALL DEPENDS ${WENDLOCK_RELEASE_EXE} ${WENDLOCK_GUIDE_HTML})

# What the zip and the MSI hold. WENDLOCK_BESIDE_EXE is the list of files the
# program finds beside itself (cmake/Windows.cmake).
install(PROGRAMS ${WENDLOCK_RELEASE_EXE} DESTINATION .)
install(FILES ${WENDLOCK_BESIDE_EXE} ${WENDLOCK_GUIDE_HTML} DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# CPack stages the files; packaging/zip-package.cmake zips them (CPack's own
# ZIP generator stores each file's change and access times, so its zips differ
# from build to build).
set(CPACK_PACKAGE_NAME Wendlock)
set(CPACK_PACKAGE_VENDOR "The Wendlock developers")
set(CPACK_PACKAGE_FILE_NAME ${WENDLOCK_PACKAGE_NAME})
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_REQUESTED_VERSIONS "1.0")
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/packaging/zip-package.cmake)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_WENDLOCK_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_WENDLOCK_ZIP ${WENDLOCK_ZIP})
include(CPack)
set(WENDLOCK_ZIP_FILE ${CMAKE_BINARY_DIR}/${WENDLOCK_PACKAGE_NAME}.zip)

# The MSI, and for the upgrade test the same files as the next version.
set(WENDLOCK_MSI_INPUTS
    ${CMAKE_SOURCE_DIR}/packaging/wendlock.wxs ${CMAKE_SOURCE_DIR}/packaging/build-msi.cmake
    ${WENDLOCK_RELEASE_EXE} ${WENDLOCK_GUIDE_HTML} ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/resources/wendlock.ico)
foreach(file IN LISTS WENDLOCK_BESIDE_EXE)
    list(APPEND WENDLOCK_MSI_INPUTS ${CMAKE_SOURCE_DIR}/${file})
endforeach()
function(wendlock_msi output version)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DWIXL=${WENDLOCK_WIXL} -DMSIBUILD=${WENDLOCK_MSIBUILD} -DMSIINFO=${WENDLOCK_MSIINFO}
                -DWXS=${CMAKE_SOURCE_DIR}/packaging/wendlock.wxs -DVERSION=${version}
                -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DEXE=${WENDLOCK_RELEASE_EXE} -DGUIDE=${WENDLOCK_GUIDE_HTML}
                -DOUTPUT=${output} -P ${CMAKE_SOURCE_DIR}/packaging/build-msi.cmake
        DEPENDS ${WENDLOCK_MSI_INPUTS}
        VERBATIM)
endfunction()
if(WENDLOCK_WIXL AND WENDLOCK_MSIBUILD AND WENDLOCK_MSIINFO)
    set(WENDLOCK_MSI_FILE ${CMAKE_BINARY_DIR}/${WENDLOCK_PACKAGE_NAME}.msi)
    wendlock_msi(${WENDLOCK_MSI_FILE} ${PROJECT_VERSION})
    add_custom_target(msi DEPENDS ${WENDLOCK_MSI_FILE})

    math(EXPR next_patch "${PROJECT_VERSION_PATCH} + 1")
    set(WENDLOCK_NEXT_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${next_patch})
    set(WENDLOCK_NEXT_MSI_FILE ${CMAKE_BINARY_DIR}/package-test/Wendlock-${WENDLOCK_NEXT_VERSION}-win64.msi)
    wendlock_msi(${WENDLOCK_NEXT_MSI_FILE} ${WENDLOCK_NEXT_VERSION})
    add_custom_target(msi_next DEPENDS ${WENDLOCK_NEXT_MSI_FILE})
else()
    message(STATUS "wixl or msitools not found: no msi target")
endif()

if(NOT WENDLOCK_TESTS)
    return()
endif()

# The release tests. Package.Build makes the artifacts for the tests that need them.
set(build_targets package)
if(TARGET msi)
    list(APPEND build_targets msi msi_next)
endif()
add_test(NAME Package.Build COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${build_targets})
set_tests_properties(Package.Build PROPERTIES FIXTURES_SETUP release TIMEOUT 900)

add_test(NAME Package.ZipHoldsTheReleaseFiles
    COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/tests/check-zip.sh ${WENDLOCK_ZIP_FILE} ${PROJECT_VERSION}
            ${WENDLOCK_RELEASE_EXE} ${CMAKE_SOURCE_DIR})
add_test(NAME Package.SameBytesFromAnotherFolder
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-reproducible.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Package.ZipHoldsTheReleaseFiles Package.SameBytesFromAnotherFolder
    PROPERTIES FIXTURES_REQUIRED release TIMEOUT 900)

# msiexec under Wine, in a Wine prefix of its own (packaging/tests/run-msi-tests.sh).
if(TARGET msi AND CMAKE_CROSSCOMPILING)
    add_executable(wendlock_msitests packaging/tests/MsiTest.cpp tests/win/TestSupport.cpp)
    target_include_directories(wendlock_msitests PRIVATE ${CMAKE_SOURCE_DIR}/resources)
    # -l: "msi" alone would name the target above.
    target_link_libraries(wendlock_msitests PRIVATE wendlock_app gtest -lmsi)
    add_test(NAME Package.MsiUnderWine
        COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/tests/run-msi-tests.sh
                $<TARGET_FILE:wendlock_msitests> ${WENDLOCK_MSI_FILE} ${WENDLOCK_NEXT_MSI_FILE} ${WENDLOCK_ZIP_FILE})
    set_tests_properties(Package.MsiUnderWine PROPERTIES
        FIXTURES_REQUIRED release TIMEOUT 900
        ENVIRONMENT "WENDLOCK_BIN=${WENDLOCK_BIN};WENDLOCK_RIG=${WENDLOCK_RIG};DISPLAY=${WENDLOCK_WINE_DISPLAY}")
endif()
