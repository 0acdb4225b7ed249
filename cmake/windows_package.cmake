# The Windows installer and the portable zip (target package-windows), made from the three
# programs of the cross build:
#   qv31-setup-VERSION.exe    NSIS, Start menu entry "采集管理设置软件", uninstaller, /S
#   qv31-VERSION-windows-x64.zip   the programs alone, to run from any folder
find_program(QV31_MAKENSIS makensis)
find_program(QV31_ZIP zip)
set(QV31_SETUP ${CMAKE_BINARY_DIR}/qv31-setup-${PROJECT_VERSION}.exe)
set(QV31_PORTABLE ${CMAKE_BINARY_DIR}/qv31-${PROJECT_VERSION}-windows-x64.zip)

if(QV31_MAKENSIS AND QV31_ZIP AND TARGET qv31-config AND TARGET qv31ctl AND TARGET qv31-sim)
  set(_nsi ${CMAKE_SOURCE_DIR}/packaging/windows/qv31-setup.nsi)
  set(_programs $<TARGET_FILE:qv31-config> $<TARGET_FILE:qv31ctl> $<TARGET_FILE:qv31-sim>)
  add_custom_command(
    OUTPUT ${QV31_SETUP}
    COMMAND ${QV31_MAKENSIS} -INPUTCHARSET UTF8 -V2 -DVERSION=${PROJECT_VERSION}
            -DBINDIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY} -DOUTFILE=${QV31_SETUP} ${_nsi}
    DEPENDS ${_nsi} qv31-config qv31ctl qv31-sim
    VERBATIM)
  # -X: no extra file attributes, -D: no folder entries; the same programs give the same zip.
  add_custom_command(
    OUTPUT ${QV31_PORTABLE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${QV31_PORTABLE}
    COMMAND ${QV31_ZIP} -q -X -D -j ${QV31_PORTABLE} ${_programs}
    DEPENDS qv31-config qv31ctl qv31-sim
    VERBATIM)
  add_custom_target(package-windows DEPENDS ${QV31_SETUP} ${QV31_PORTABLE})
endif()
