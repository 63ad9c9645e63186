# The Windows program, its resources, the Outlook stand-in and the tests that
# run against the real Windows API (under Wine when cross-compiling).
enable_language(RC)

set(WENDLOCK_BIN ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${WENDLOCK_BIN})

# Cross-compiled test programs run under Wine, in a prefix of this build's own.
if(CMAKE_CROSSCOMPILING AND WENDLOCK_TESTS)
    set(WENDLOCK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the tests")
    set(WENDLOCK_WINE_DISPLAY ":97" CACHE STRING "Xvfb display of the tests")
    set(WENDLOCK_RIG ${CMAKE_SOURCE_DIR}/tests/wine/wine-rig.sh)
    configure_file(tests/wine/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
    add_executable(wine-keeper WIN32 tests/wine/keeper.cpp)
    target_link_options(wine-keeper PRIVATE -static -municode)
endif()

# Settings every Windows target of the project shares.
add_library(wendlock_win_defs INTERFACE)
target_compile_definitions(wendlock_win_defs INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000000)
if(MINGW)
    target_link_options(wendlock_win_defs INTERFACE -static -static-libgcc -static-libstdc++ -municode)
elseif(MSVC)
    target_compile_options(wendlock_win_defs INTERFACE /EHsc)
endif()
target_link_libraries(wendlock_win_defs INTERFACE
    ole32 oleaut32 uuid shell32 shcore comctl32 user32 gdi32 advapi32)

configure_file(resources/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
configure_file(resources/wendlock.manifest.in ${CMAKE_BINARY_DIR}/generated/wendlock.manifest @ONLY)

# Everything of the program but start-up, so the tests link the real code.
add_library(wendlock_app STATIC
    core/win32.cpp
    core/Dispatch.cpp
    core/Settings.cpp
    core/Policies.cpp
    core/Registry.cpp
    core/Processes.cpp
    core/RestartRegistration.cpp
    core/basINI.cpp
    core/basTimer.cpp
    core/TrayIcons.cpp
    core/Window.cpp
    core/RemoteWork.cpp
    core/EventSink.cpp
    core/MessageWindow.cpp
    core/Clock.cpp
    core/TrayWindow.cpp
    outlook/OutlookSession.cpp
    outlook/OutlookPath.cpp
    outlook/Reminders.cpp
    outlook/OverdueScan.cpp
    outlook/Calendar.cpp
    mainwindow/Links.cpp
    mainwindow/frmMain.cpp
    mainwindow/frmMain_Outlook.cpp
    mainwindow/frmMain_Tray.cpp
    mainwindow/frmMain_Options.cpp
    mainwindow/frmMain_Today.cpp
    alerts/frmReminders.cpp
    alerts/frmCard.cpp
    alerts/JoinMeeting.cpp
)
target_include_directories(wendlock_app PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(wendlock_app PUBLIC wendlock_rules wendlock_win_defs)

# Start-up, above everything else; the program's entry point and the soak
# build's each call it.
add_library(wendlock_main STATIC app/basMain.cpp)
target_link_libraries(wendlock_main PUBLIC wendlock_app)

add_executable(wendlock WIN32 app/WinMain.cpp resources/wendlock.rc)
target_include_directories(wendlock PRIVATE ${CMAKE_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(wendlock PRIVATE wendlock_main)

# The release is the exe plus the files it finds beside itself.
set(WENDLOCK_BESIDE_EXE
    resources/olico.ico resources/olicod.ico resources/bell.ico resources/task.ico resources/newlnks.example.ini)
foreach(file IN LISTS WENDLOCK_BESIDE_EXE)
    add_custom_command(TARGET wendlock POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/${file} ${WENDLOCK_BIN}/)
endforeach()

add_subdirectory(standin)
add_subdirectory(bench)

if(WENDLOCK_TESTS)
    add_subdirectory(tests/unit)
    add_subdirectory(tests/win)
endif()
include(cmake/Packaging.cmake)
