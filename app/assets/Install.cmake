# Installation of the launcher for a Linux desktop. The program's CMake file
# includes this file and calls
#   launcher_install(<executable target>)
# and `cmake --install` then puts the executable in bin/, the desktop entry
# merindo-launcher.desktop in share/applications/ and the program's icon, at
# 16, 32 and 48 pixels, in share/icons/hicolor/<size>x<size>/apps/.
include_guard(GLOBAL)
include(GNUInstallDirs)

function(launcher_install target)
  set(assets ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  foreach(size 16 32 48)
    install(FILES ${assets}/icon${size}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
            RENAME merindo-launcher.png)
  endforeach()

  # The entry starts the executable by its full path, which is known only when
  # installing (cmake --install may be given another prefix): DesktopEntry.cmake
  # writes it then, and the next rule installs it.
  set(entry ${CMAKE_CURRENT_BINARY_DIR}/merindo-launcher.desktop)
  install(CODE "
    set(LAUNCHER_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(LAUNCHER_FILE_NAME \"$<TARGET_FILE_NAME:${target}>\")
    set(DESKTOP_TEMPLATE \"${assets}/merindo-launcher.desktop.in\")
    set(DESKTOP_ENTRY \"${entry}\")
    include(\"${assets}/DesktopEntry.cmake\")")
  install(FILES ${entry} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
endfunction()
