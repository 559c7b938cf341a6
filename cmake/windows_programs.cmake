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
             -DMONITOR_RCGEN_CONFORMANCE=ON
             -DMONITOR_WERROR=${MONITOR_WERROR}
             -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${MONITOR_RCGEN_DIR} --target rcgen_kelvane rcgen_sorrel
                rcgen_conformance
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${MONITOR_RCGEN_DIR}/bin/rcgen_kelvane ${MONITOR_RCGEN_DIR}/bin/rcgen_sorrel
                   ${MONITOR_RCGEN_DIR}/bin/rcgen_conformance)

# The application manifest lives in a script of its own beside the
# generated one.
set(MONITOR_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/app.manifest)
set(MONITOR_MANIFEST_RC ${CMAKE_BINARY_DIR}/generated/manifest.rc)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/manifest.rc.in ${MONITOR_MANIFEST_RC} @ONLY)
set_source_files_properties(${MONITOR_MANIFEST_RC} PROPERTIES OBJECT_DEPENDS ${MONITOR_MANIFEST})

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

  add_executable(${program} WIN32 shell/main.cpp ${generated}.rc ${MONITOR_MANIFEST_RC})
  target_link_libraries(${program} PRIVATE ${variant}_system ui_win32 iphelp_system)
endfunction()

# The other program of the Wine tests, which holds a file without sharing
# (not installed).
add_executable(hold_file ${PROJECT_SOURCE_DIR}/tests/wine/hold_file.cpp)
target_link_options(hold_file PRIVATE -municode)

# The probe of the file layer that the Wine tests run (not installed).
add_executable(fs_replace_probe ${PROJECT_SOURCE_DIR}/tests/wine/fs_replace_probe.cpp)
target_link_libraries(fs_replace_probe PRIVATE platform_core)
