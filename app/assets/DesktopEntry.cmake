# Writes the launcher's desktop entry while installing (see Install.cmake).
# Exec names the installed executable by its full path, quoted when the path
# holds a space; a path with characters the entry would have to escape is
# refused.
if(IS_ABSOLUTE "${LAUNCHER_BINDIR}")
  set(LAUNCHER_EXEC "${LAUNCHER_BINDIR}/${LAUNCHER_FILE_NAME}")
else()
  set(LAUNCHER_EXEC "${CMAKE_INSTALL_PREFIX}/${LAUNCHER_BINDIR}/${LAUNCHER_FILE_NAME}")
endif()
if(LAUNCHER_EXEC MATCHES "[^A-Za-z0-9_./+ -]")
  message(FATAL_ERROR "The desktop entry cannot name '${LAUNCHER_EXEC}': install under a plainer path")
endif()
if(LAUNCHER_EXEC MATCHES " ")
  set(LAUNCHER_EXEC "\"${LAUNCHER_EXEC}\"")
endif()
configure_file("${DESKTOP_TEMPLATE}" "${DESKTOP_ENTRY}" @ONLY)
