# The Windows programs of a cross build. Their resource scripts are written
# by the rcgen programs, which a host build inside this build folder makes
# from the same sources, so that the dialog templates come from the layout
# tables every other backend uses.
enable_language(RC)
include(ExternalProject)

set(MONITOR_RCGEN_DIR ${CMAKE_BINARY_DIR}/rcgen-host)
ExternalProject_Add(
  rcgen_host
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${MONITOR_RCGEN_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Debug -DMONITOR_WITH_QT=OFF -DMONITOR_WITH_TESTS=OFF
             -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${MONITOR_RCGEN_DIR} --target rcgen_kelvane rcgen_sorrel
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${MONITOR_RCGEN_DIR}/bin/rcgen_kelvane ${MONITOR_RCGEN_DIR}/bin/rcgen_sorrel)

function(monitor_add_windows_program program variant)
  set(generated ${CMAKE_BINARY_DIR}/generated/${program})
  set(generator ${MONITOR_RCGEN_DIR}/bin/rcgen_${variant})
  add_custom_command(
    OUTPUT ${generated}.rc ${generated}.ico
    COMMAND ${generator} ${generated}.rc ${generated}.ico ${PROJECT_VERSION}
    DEPENDS rcgen_host ${generator}
    COMMENT "Writing the resources of ${program}"
    VERBATIM)
  set_source_files_properties(${generated}.rc PROPERTIES OBJECT_DEPENDS ${generated}.ico)

  add_executable(${program} WIN32 shell/main.cpp ${generated}.rc)
  target_link_libraries(${program} PRIVATE ${variant}_system ui_win32 iphelp_system)
endfunction()
