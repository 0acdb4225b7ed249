# The Windows installer and the portable zip (target package-windows), made from the three
# programs of the cross build:
#   qv31-setup-VERSION.exe    NSIS, Start menu entry "采集管理设置软件", uninstaller, /S
#   qv31-VERSION-windows-x64.zip   the programs alone, to run from any folder
find_program(QV31_MAKENSIS makensis)
find_program(QV31_ZIP zip)
set(QV31_SETUP ${CMAKE_BINARY_DIR}/qv31-setup-${PROJECT_VERSION}.exe)
set(QV31_PORTABLE ${CMAKE_BINARY_DIR}/qv31-${PROJECT_VERSION}-windows-x64.zip)

# The simulator joins both when the Windows build makes it.
if(QV31_MAKENSIS AND QV31_ZIP AND TARGET qv31-config AND TARGET qv31ctl)
  set(_nsi ${CMAKE_SOURCE_DIR}/packaging/windows/qv31-setup.nsi)
  set(_targets qv31-config qv31ctl)
  set(_with_sim)
  if(TARGET qv31-sim)
    list(APPEND _targets qv31-sim)
    set(_with_sim -DWITH_SIM)
  endif()
  set(_programs)
  foreach(t IN LISTS _targets)
    list(APPEND _programs $<TARGET_FILE:${t}>)
  endforeach()
  add_custom_command(
    OUTPUT ${QV31_SETUP}
    COMMAND ${QV31_MAKENSIS} -INPUTCHARSET UTF8 -V2 -DVERSION=${PROJECT_VERSION}
            -DBINDIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY} -DOUTFILE=${QV31_SETUP} ${_with_sim} ${_nsi}
    DEPENDS ${_nsi} ${_targets}
    VERBATIM)
  # -X: no extra file attributes, -D: no folder entries; the same programs give the same zip.
  add_custom_command(
    OUTPUT ${QV31_PORTABLE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${QV31_PORTABLE}
    COMMAND ${QV31_ZIP} -q -X -D -j ${QV31_PORTABLE} ${_programs}
    DEPENDS ${_targets}
    VERBATIM)
  add_custom_target(package-windows ALL DEPENDS ${QV31_SETUP} ${QV31_PORTABLE})
endif()
