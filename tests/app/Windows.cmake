# The Windows build's tests of the program (included by CMakeLists.txt).

# The program as a Windows user receives it, checked on this side: a GUI
# executable of the build's architecture that imports only Windows system
# DLLs and carries its icon and version information.
add_test(NAME windows.executable
  COMMAND ${CMAKE_COMMAND} -DEXECUTABLE=$<TARGET_FILE:merindo-launcher> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DARCHITECTURE=${CMAKE_SYSTEM_PROCESSOR} -P ${CMAKE_CURRENT_SOURCE_DIR}/CheckWindowsExecutable.cmake)
# The vendor's tool: a console program, so that its messages reach the
# console it runs in, importing only system DLLs.
add_test(NAME windows.executable.release_tool
  COMMAND ${CMAKE_COMMAND} -DEXECUTABLE=$<TARGET_FILE:merindo-release> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DARCHITECTURE=${CMAKE_SYSTEM_PROCESSOR} -DCONSOLE=ON
          -P ${CMAKE_CURRENT_SOURCE_DIR}/CheckWindowsExecutable.cmake)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

# The window and the update run in process, as on Linux: in a network
# namespace of its own (the profile's host is 127.0.0.1 there) with a Wine
# prefix of its own, beside the broker of FTP servers, which starts the
# scripted server on port 21 inside. The product the launcher starts is the
# Windows test product below, found beside the test program.
launcher_test(app_tests
  SOURCES
    BrontelFormTest.cpp
    BrontelLayoutTest.cpp
    BrontelTest.cpp
    InstallFileTest.cpp
    RunLogTest.cpp
    VersionFileTest.cpp
  DEPENDS app testsupport_ftp
  EMULATOR /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/support/in_netns.py --host ${LAUNCHER_PROFILE_B_HOST}
           --wine-prefix ${CMAKE_CROSSCOMPILING_EMULATOR} -- ${LAUNCHER_FTP_EMULATOR})

# The launcher exactly as built, end to end under wine64: each run in a
# network namespace of its own with a Wine prefix of its own, beside the
# scripted FTP server on port 21. The product it starts is a Windows program
# of the tests that records where it ran.
add_executable(windows-test-product WIN32 windows_product/main.c)
set_target_properties(windows-test-product PROPERTIES C_STANDARD 11)
add_dependencies(app_tests windows-test-product)
# Presses OK on the launcher's message box, which nobody else can under
# Wine's null display driver, and tells what it said.
add_executable(windows-answer-box windows_answer_box/main.c)
set_target_properties(windows-answer-box PROPERTIES C_STANDARD 11)
add_dependencies(app_tests windows-answer-box)
# Holds a file open without sharing it for writes, renames or deletes, as a
# virus scanner or a running companion may.
add_executable(windows-hold-file windows_holder/main.c)
set_target_properties(windows-hold-file PROPERTIES C_STANDARD 11)
set(windows_e2e_environment
    LAUNCHER_BINARY=$<TARGET_FILE:merindo-launcher>
    LAUNCHER_PASSIVE_BINARY=$<TARGET_FILE:merindo-launcher-passive-test>
    LAUNCHER_TEST_PRODUCT=$<TARGET_FILE:windows-test-product>
    LAUNCHER_ANSWER_BOX=$<TARGET_FILE:windows-answer-box>
    LAUNCHER_HOLD_FILE=$<TARGET_FILE:windows-hold-file>
    LAUNCHER_HOST=${LAUNCHER_PROFILE_B_HOST}
    LAUNCHER_USER=${LAUNCHER_PROFILE_B_USER}
    LAUNCHER_PASSWORD=${LAUNCHER_PROFILE_B_PASSWORD}
    LAUNCHER_ROOT=${LAUNCHER_PROFILE_B_ROOT}
    WINE_RUN=${CMAKE_CROSSCOMPILING_EMULATOR})
# The installer's test (tests/packaging/windows) runs the installed launcher so too.
set(windows_e2e_environment "${windows_e2e_environment}" PARENT_SCOPE)
launcher_python_test(windows.e2e.launcher MODULE test_windows_launcher ENVIRONMENT ${windows_e2e_environment})
set_tests_properties(windows.e2e.launcher PROPERTIES TIMEOUT 900)

# The cases of the Linux build's stall guard and signed releases, run with
# the Windows programs: the launcher with a 3 s guard; the launcher with the
# test key, the shipped one beside it, and merindo-release.exe to sign.
launcher_python_test(windows.e2e.stall_guard MODULE test_faults.StallGuard
  ENVIRONMENT ${windows_e2e_environment}
              LAUNCHER_STALL_BINARY=$<TARGET_FILE:merindo-launcher-stall-test>
              LAUNCHER_STALL_SECONDS=${launcher_test_stall_seconds})
launcher_python_test(windows.e2e.signed MODULE test_signed
  ENVIRONMENT ${windows_e2e_environment}
              SIGNED_LAUNCHER_BINARY=$<TARGET_FILE:merindo-launcher-testkey>
              SIGNED_LAUNCHER_RELEASE_MIN=${launcher_test_release_min}
              LAUNCHER_RELEASE_KEY=${LAUNCHER_RELEASE_KEY}
              RELEASE_TOOL=$<TARGET_FILE:merindo-release>
              RELEASE_TEST_KEY=${PROJECT_SOURCE_DIR}/tests/support/release-test-key.secret)
set_tests_properties(windows.e2e.stall_guard windows.e2e.signed PROPERTIES TIMEOUT 900)

# Two launchers in one folder, and the launcher built for passive mode: the
# Linux build's cases with the Windows programs.
launcher_python_test(windows.e2e.single_instance MODULE test_faults.SingleInstance
  ENVIRONMENT ${windows_e2e_environment})
launcher_python_test(windows.e2e.passive MODULE test_faults.PassiveMode ENVIRONMENT ${windows_e2e_environment})
set_tests_properties(windows.e2e.single_instance windows.e2e.passive PROPERTIES TIMEOUT 600)

# The window under Wine on a display of its own, against the Linux build's
# rendering of the same state: LAUNCHER_LINUX_RENDER names the Linux build's
# render-main-window (scripts/test passes it); without it the test skips.
set(LAUNCHER_LINUX_RENDER "" CACHE FILEPATH "The Linux build's tests/support/render-main-window")
launcher_python_test(windows.e2e.window MODULE test_windows_window
  ENVIRONMENT ${windows_e2e_environment} RENDER_MAIN_WINDOW=${LAUNCHER_LINUX_RENDER})
set_tests_properties(windows.e2e.window PROPERTIES TIMEOUT 300)
