# The release artifacts of the Windows program, made from the same files:
#
#   cmake --build <tree> --target package   Wendlock-<version>-win64.zip (CPack)
#   cmake --build <tree> --target msi       Wendlock-<version>-win64.msi (wixl)
#
# (scripts/package.sh makes either from a fresh clone, and with "winget" both
# and their winget manifest, packaging/winget-manifest.sh.) The zip holds
# wendlock.exe, the four tray icons, the example newlnks.example.ini, the user guide
# (docs/user-guide.md as one HTML file with its pictures), the licence, the
# Group Policy templates (policies/) and SHA256SUMS, in a folder named like the
# zip; the MSI installs the same files but SHA256SUMS and the templates, which
# go beside it as Wendlock-<version>-policies.zip. The version is the project
# version.
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

# Authenticode signatures on the released exe (before the zip and the MSI
# take it) and on the MSI, when a certificate is given: scripts/package.sh
# passes WENDLOCK_SIGN_PFX, WENDLOCK_SIGN_PASSWORD_FILE and
# WENDLOCK_SIGN_TIMESTAMP_URL from its environment. Without a certificate the
# release is unsigned and its bytes are those of every other unsigned build.
set(WENDLOCK_SIGN_PFX "" CACHE FILEPATH "PKCS#12 file of the code-signing certificate; empty: an unsigned release")
set(WENDLOCK_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of WENDLOCK_SIGN_PFX; empty: none")
set(WENDLOCK_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures; empty: no time stamp")
find_program(WENDLOCK_OSSLSIGNCODE osslsigncode)
if(WENDLOCK_SIGN_PFX AND NOT WENDLOCK_OSSLSIGNCODE)
    message(FATAL_ERROR "WENDLOCK_SIGN_PFX is set, but osslsigncode is not found")
endif()
set(WENDLOCK_SIGNING PFX "${WENDLOCK_SIGN_PFX}" PASSWORD_FILE "${WENDLOCK_SIGN_PASSWORD_FILE}"
                     TIMESTAMP_URL "${WENDLOCK_SIGN_TIMESTAMP_URL}")

# The commands that sign <file> in place (packaging/sign.cmake), into <out>;
# none without PFX. The inputs they read, into <out>_DEPENDS.
# Usage: wendlock_sign_commands(<out> <file> [PFX p] [PASSWORD_FILE f] [TIMESTAMP_URL u])
function(wendlock_sign_commands out file)
    cmake_parse_arguments(PARSE_ARGV 2 SIGN "" "PFX;PASSWORD_FILE;TIMESTAMP_URL" "")
    set(commands "")
    set(inputs "")
    if(SIGN_PFX)
        set(commands COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${WENDLOCK_OSSLSIGNCODE} -DPFX=${SIGN_PFX}
                             -DPASSWORD_FILE=${SIGN_PASSWORD_FILE} -DTIMESTAMP_URL=${SIGN_TIMESTAMP_URL}
                             -DFILE=${file} -P ${CMAKE_SOURCE_DIR}/packaging/sign.cmake)
        set(inputs ${SIGN_PFX} ${SIGN_PASSWORD_FILE} ${CMAKE_SOURCE_DIR}/packaging/sign.cmake)
    endif()
    set(${out} ${commands} PARENT_SCOPE)
    set(${out}_DEPENDS ${inputs} PARENT_SCOPE)
endfunction()

# The released exe leaves out the symbol table and the debug sections that the
# static C and C++ run-times bring (half the size); the code is the same.
# strip writes the time of day into the PE header unless SOURCE_DATE_EPOCH
# says otherwise: 0, as the linker leaves it (cmake/Reproducible.cmake).
# Usage: wendlock_release_exe(<output> [signing arguments as above])
function(wendlock_release_exe output)
    wendlock_sign_commands(sign ${output} ${ARGN})
    get_filename_component(dir ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
                ${CMAKE_STRIP} -o ${output} $<TARGET_FILE:wendlock>
        ${sign}
        DEPENDS wendlock ${sign_DEPENDS}
        VERBATIM)
endfunction()
wendlock_release_exe(${WENDLOCK_RELEASE_EXE} ${WENDLOCK_SIGNING})

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
install(FILES ${CMAKE_SOURCE_DIR}/policies/Wendlock.admx DESTINATION policies)
install(FILES ${CMAKE_SOURCE_DIR}/policies/en-US/Wendlock.adml DESTINATION policies/en-US)

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

# The Group Policy templates on their own, to publish beside the MSI (the zip
# holds them too). Made on every build, as CPack makes the zip: its date is
# the commit's, which no file dependency follows.
set(WENDLOCK_POLICIES_ZIP ${CMAKE_BINARY_DIR}/Wendlock-${PROJECT_VERSION}-policies.zip)
add_custom_target(policies
    COMMAND ${CMAKE_COMMAND} -DZIP=${WENDLOCK_ZIP} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${WENDLOCK_POLICIES_ZIP}
            -P ${CMAKE_SOURCE_DIR}/packaging/policies-zip.cmake
    BYPRODUCTS ${WENDLOCK_POLICIES_ZIP}
    VERBATIM)

# The MSI, and for the upgrade test the same files as the next version.
set(WENDLOCK_MSI_INPUTS
    ${CMAKE_SOURCE_DIR}/packaging/wendlock.wxs ${CMAKE_SOURCE_DIR}/packaging/build-msi.cmake
    ${WENDLOCK_GUIDE_HTML} ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/resources/wendlock.ico)
foreach(file IN LISTS WENDLOCK_BESIDE_EXE)
    list(APPEND WENDLOCK_MSI_INPUTS ${CMAKE_SOURCE_DIR}/${file})
endforeach()
# Usage: wendlock_msi(<output> <version> <released exe> [signing arguments as above])
function(wendlock_msi output version exe)
    wendlock_sign_commands(sign ${output} ${ARGN})
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DWIXL=${WENDLOCK_WIXL} -DMSIBUILD=${WENDLOCK_MSIBUILD} -DMSIINFO=${WENDLOCK_MSIINFO}
                -DWXS=${CMAKE_SOURCE_DIR}/packaging/wendlock.wxs -DVERSION=${version}
                -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DEXE=${exe} -DGUIDE=${WENDLOCK_GUIDE_HTML}
                -DOUTPUT=${output} -P ${CMAKE_SOURCE_DIR}/packaging/build-msi.cmake
        ${sign}
        DEPENDS ${WENDLOCK_MSI_INPUTS} ${exe} ${sign_DEPENDS}
        VERBATIM)
endfunction()
if(WENDLOCK_WIXL AND WENDLOCK_MSIBUILD AND WENDLOCK_MSIINFO)
    set(WENDLOCK_MSI_FILE ${CMAKE_BINARY_DIR}/${WENDLOCK_PACKAGE_NAME}.msi)
    wendlock_msi(${WENDLOCK_MSI_FILE} ${PROJECT_VERSION} ${WENDLOCK_RELEASE_EXE} ${WENDLOCK_SIGNING})
    add_custom_target(msi DEPENDS ${WENDLOCK_MSI_FILE})
    add_dependencies(msi policies)

    math(EXPR next_patch "${PROJECT_VERSION_PATCH} + 1")
    set(WENDLOCK_NEXT_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${next_patch})
    set(WENDLOCK_NEXT_MSI_FILE ${CMAKE_BINARY_DIR}/package-test/Wendlock-${WENDLOCK_NEXT_VERSION}-win64.msi)
    wendlock_msi(${WENDLOCK_NEXT_MSI_FILE} ${WENDLOCK_NEXT_VERSION} ${WENDLOCK_RELEASE_EXE})
    add_custom_target(msi_next DEPENDS ${WENDLOCK_NEXT_MSI_FILE})

    # For Package.SignedRelease: the same rules, signing with a throwaway
    # certificate that the test makes in package-test/signed/ before it
    # builds this target.
    if(WENDLOCK_TESTS AND WENDLOCK_OSSLSIGNCODE)
        set(dir ${CMAKE_BINARY_DIR}/package-test/signed)
        set(test_signing PFX ${dir}/signer.pfx PASSWORD_FILE ${dir}/signer.password)
        wendlock_release_exe(${dir}/wendlock.exe ${test_signing})
        wendlock_msi(${dir}/${WENDLOCK_PACKAGE_NAME}.msi ${PROJECT_VERSION} ${dir}/wendlock.exe ${test_signing})
        add_custom_target(signed_release_test DEPENDS ${dir}/wendlock.exe ${dir}/${WENDLOCK_PACKAGE_NAME}.msi)
    endif()
else()
    message(STATUS "wixl or msitools not found: no msi target")
endif()

if(NOT WENDLOCK_TESTS)
    return()
endif()

# The release tests. Package.Build makes the artifacts for the tests that need them.
set(build_targets package policies)
if(TARGET msi)
    list(APPEND build_targets msi msi_next)
endif()
add_test(NAME Package.Build COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${build_targets})
set_tests_properties(Package.Build PROPERTIES FIXTURES_SETUP release TIMEOUT 900)

add_test(NAME Package.ZipHoldsTheReleaseFiles
    COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/tests/check-zip.sh ${WENDLOCK_ZIP_FILE} ${PROJECT_VERSION}
            ${WENDLOCK_RELEASE_EXE} ${CMAKE_SOURCE_DIR})
add_test(NAME Package.PolicyTemplates
    COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/tests/check-policies.sh ${CMAKE_SOURCE_DIR} ${WENDLOCK_POLICIES_ZIP})
add_test(NAME Package.SameBytesFromAnotherFolder
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-reproducible.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Package.ZipHoldsTheReleaseFiles Package.PolicyTemplates Package.SameBytesFromAnotherFolder
    PROPERTIES FIXTURES_REQUIRED release TIMEOUT 900)

# The signing rules with a throwaway certificate; skipped without osslsigncode
# or openssl.
if(TARGET msi)
    add_test(NAME Package.SignedRelease
        COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/tests/check-signing.sh ${CMAKE_BINARY_DIR}
                ${WENDLOCK_PACKAGE_NAME} "${WENDLOCK_OSSLSIGNCODE}" "${WENDLOCK_SIGN_PFX}")
    set_tests_properties(Package.SignedRelease PROPERTIES
        FIXTURES_REQUIRED release TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# The winget manifest of the built zip and MSI (packaging/winget-manifest.sh).
if(TARGET msi)
    add_test(NAME Package.WingetManifest
        COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/tests/check-winget.sh ${CMAKE_SOURCE_DIR} ${PROJECT_VERSION}
                ${WENDLOCK_ZIP_FILE} ${WENDLOCK_MSI_FILE} ${CMAKE_BINARY_DIR}/package-test/winget)
    set_tests_properties(Package.WingetManifest PROPERTIES FIXTURES_REQUIRED release TIMEOUT 300)
endif()

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
