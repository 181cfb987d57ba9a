# The Windows package: `cmake --build --preset windows --target package` makes
# build/windows/package/OmbrixEmulator-1.0-win64.zip with the program, the English
# translation and a read-me. Only the "program" component goes in, so that no install rule
# of a dependency (GoogleTest's) adds files.
if(TARGET OmbrixEmulator)
  install(TARGETS OmbrixEmulator RUNTIME DESTINATION . COMPONENT program)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/translations/English.txt DESTINATION translations COMPONENT program)
# Notepad on older Windows shows a file with bare line feeds as one line.
configure_file(${PROJECT_SOURCE_DIR}/resources/package/README.txt ${CMAKE_BINARY_DIR}/package-files/README.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package-files/README.txt DESTINATION . COMPONENT program)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME OmbrixEmulator)
set(CPACK_PACKAGE_VERSION 1.0)
set(CPACK_PACKAGE_FILE_NAME OmbrixEmulator-1.0-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};OmbrixEmulator;program;/")
include(CPack)
