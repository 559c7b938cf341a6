# The zip of the Windows programs: both .exe and a note in Japanese on how
# to start them, in one folder; nothing to install, no runtime.
set(MONITOR_VERSION ${PROJECT_VERSION})
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/readme.txt ${CMAKE_CURRENT_BINARY_DIR}/readme.txt
               @ONLY NEWLINE_STYLE CRLF)
install(TARGETS Kelvane Sorrel RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/readme.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME kelvane-sorrel-${PROJECT_VERSION}-windows-x64)
include(CPack)
