# Installs a stand-in program with the launcher's install rules under a prefix
# that holds a space, and checks what a desktop finds there:
#   cmake -DSOURCE=<repository> -DSCRATCH=<folder> -DGENERATOR=<generator> -P CheckInstall.cmake
file(REMOVE_RECURSE ${SCRATCH})
set(prefix "${SCRATCH}/install root")
foreach(step
    "-S;${SOURCE}/tests/app/install_probe;-B;${SCRATCH}/build;-G;${GENERATOR};-DLAUNCHER_SOURCE_DIR=${SOURCE}"
    "--build;${SCRATCH}/build"
    "--install;${SCRATCH}/build;--prefix;${prefix}")
  execute_process(COMMAND ${CMAKE_COMMAND} ${step} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake ${step} failed:\n${output}")
  endif()
endforeach()

if(NOT EXISTS "${prefix}/bin/merindo-launcher")
  message(FATAL_ERROR "no executable in bin/")
endif()
foreach(size 16 32 48)
  set(icon "${prefix}/share/icons/hicolor/${size}x${size}/apps/merindo-launcher.png")
  file(SHA256 "${SOURCE}/app/assets/icon${size}.png" expected)
  if(NOT EXISTS "${icon}")
    message(FATAL_ERROR "no icon of ${size} pixels")
  endif()
  file(SHA256 "${icon}" installed)
  if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "the icon of ${size} pixels is not icon${size}.png")
  endif()
endforeach()
file(STRINGS "${prefix}/share/applications/merindo-launcher.desktop" entry)
set(expected
    "[Desktop Entry]" "Type=Application" "Name=Cavenor S.R.L. Software Update" "Comment=Aggiorna Merindo e lo avvia"
    "Exec=\"${prefix}/bin/merindo-launcher\"" "Icon=merindo-launcher" "Terminal=false" "Categories=Utility\;")
if(NOT entry STREQUAL expected)
  message(FATAL_ERROR "desktop entry:\n${entry}\nexpected:\n${expected}")
endif()
