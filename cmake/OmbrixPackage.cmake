# The packages. Windows: `cmake --build --preset windows --target package` makes
# build/windows/package/OmbrixEmulator-1.0-win64.zip with the program, the virtual board,
# the English translation and a read-me. Only the "program" component goes in, so that no
# install rule of a dependency (GoogleTest's) adds files.
# Native: `cmake --build --preset native --target package` makes
# build/native/package/OmbrixVirtualBoard-1.0-linux-<machine>.tar.gz with virtual_board,
# the examples and its read-me, for host-software developers.
set(CPACK_PACKAGE_VERSION 1.0)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
if(NOT WIN32)
  install(TARGETS virtual_board RUNTIME DESTINATION . COMPONENT vboard)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/host.py DESTINATION examples COMPONENT vboard)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/scenario.txt DESTINATION examples COMPONENT vboard)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/virtual_board.py ${PROJECT_SOURCE_DIR}/examples/test_host_example.py
          DESTINATION examples COMPONENT vboard)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/virtual_board/README.txt DESTINATION . COMPONENT vboard)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGE_NAME OmbrixVirtualBoard)
  set(CPACK_PACKAGE_FILE_NAME OmbrixVirtualBoard-1.0-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};OmbrixEmulator;vboard;/")
  include(CPack)
  return()
endif()

if(TARGET OmbrixEmulator)
  install(TARGETS OmbrixEmulator RUNTIME DESTINATION . COMPONENT program)
endif()
install(TARGETS virtual_board RUNTIME DESTINATION . COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/translations/English.txt DESTINATION translations COMPONENT program)
# Notepad on older Windows shows a file with bare line feeds as one line.
configure_file(${PROJECT_SOURCE_DIR}/resources/package/README.txt ${CMAKE_BINARY_DIR}/package-files/README.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package-files/README.txt DESTINATION . COMPONENT program)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME OmbrixEmulator)
set(CPACK_PACKAGE_FILE_NAME OmbrixEmulator-1.0-win64)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};OmbrixEmulator;program;/")
include(CPack)
