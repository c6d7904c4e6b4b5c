# Fails unless EXECUTABLE is what a Windows user receives: a GUI program of
# ARCHITECTURE (i686: PE32, x86_64: PE32+), importing only DLLs that every
# Windows has, with its icon and version information as resources. With
# -DCONSOLE=ON: a console program (its messages reach the console it runs
# in) of that architecture importing only such DLLs. Either way marked
# terminal-server aware and with its application manifest
# (check_windows_manifest.py reads both from the file). Run by CTest as
#   cmake -DEXECUTABLE=<exe> -DOBJDUMP=<mingw objdump> -DARCHITECTURE=<i686|x86_64> [-DCONSOLE=ON]
#         -P CheckWindowsExecutable.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls advapi32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll wsock32.dll ws2_32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${EXECUTABLE} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${EXECUTABLE}")
endif()

set(problems "")
if(ARCHITECTURE STREQUAL "i686")
  set(magic "010b\t\\(PE32\\)")
else()
  set(magic "020b\t\\(PE32\\+\\)")
endif()
if(NOT headers MATCHES "Magic\t+${magic}")
  list(APPEND problems "not a ${ARCHITECTURE} executable")
endif()
if(CONSOLE)
  set(kind "console")
  set(subsystem "00000003\t\\(Windows CUI\\)")
else()
  set(kind "GUI")
  set(subsystem "00000002\t\\(Windows GUI\\)")
endif()
if(NOT headers MATCHES "Subsystem\t+${subsystem}")
  list(APPEND problems "not a ${kind} program")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  list(APPEND problems "no imports found")
endif()
foreach(entry IN LISTS imports)
  string(REGEX REPLACE "DLL Name: " "" dll "${entry}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    list(APPEND problems "imports ${dll}")
  endif()
endforeach()

# A GUI program: the resources as a resource script, the icon group with
# the three window icon sizes, and the version texts.
if(NOT CONSOLE)
  get_filename_component(bin_dir ${OBJDUMP} DIRECTORY)
  get_filename_component(objdump_name ${OBJDUMP} NAME)
  string(REPLACE "objdump" "windres" windres_name ${objdump_name})
  find_program(WINDRES ${windres_name} HINTS ${bin_dir} REQUIRED)
  execute_process(COMMAND ${WINDRES} -J coff -O rc -i ${EXECUTABLE} OUTPUT_VARIABLE resources RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(APPEND problems "no resources readable")
  endif()
  # windres writes each image of the group as "width height colours pad" in
  # octal escapes: 16, 32 and 48 pixels square, 32 bits a pixel.
  string(REGEX MATCH "RT_GROUP_ICON[^\n]*\nBEGIN\n[^\n]*Has 3 elements[^\n]*\n[^\n]*\n *\"\\\\020\\\\020[^\n]*, 1, 32,[^\n]*\n *\"\\\\040\\\\040[^\n]*, 1, 32,[^\n]*\n *\"\\\\060\\\\060[^\n]*, 1, 32,"
         group "${resources}")
  if(NOT group)
    list(APPEND problems "no icon group of 16, 32 and 48 pixels at 32 bits")
  endif()
  foreach(text "\"ProductName\", \"Merindo\"" "\"CompanyName\", \"Cavenor S.R.L.\"" "\"FileVersion\", \"1.0\"")
    string(FIND "${resources}" "${text}" at)
    if(at EQUAL -1)
      list(APPEND problems "no version text ${text}")
    endif()
  endforeach()
endif()

execute_process(COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_windows_manifest.py ${EXECUTABLE}
                ERROR_VARIABLE manifest_problems RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  list(APPEND problems "${manifest_problems}")
endif()

if(problems)
  message(FATAL_ERROR "${EXECUTABLE}: ${problems}")
endif()
message(STATUS "${EXECUTABLE}: ${ARCHITECTURE} ${kind} program, terminal-server aware, with its manifest, imports ${imports}")
