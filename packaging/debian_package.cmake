# The Debian package of the Qt programs.
include(GNUInstallDirs)
set(MONITOR_PACKAGE_MAINTAINER "Kelvane and Sorrel developers <kelvane@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(MONITOR_VERSION ${PROJECT_VERSION})
set(packaging ${CMAKE_CURRENT_SOURCE_DIR})
set(generated ${CMAKE_CURRENT_BINARY_DIR})

add_executable(icon_png icon_png.cpp)
target_link_libraries(icon_png PRIVATE ui_qt)

# Files the package holds in compressed form, made from the sources here.
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
set(compressed ${generated}/changelog.gz)
add_custom_command(OUTPUT ${generated}/changelog.gz
                   COMMAND gzip -9n -c ${generated}/changelog > ${generated}/changelog.gz
                   DEPENDS ${generated}/changelog VERBATIM)
foreach(page kelvane sorrel)
  configure_file(${packaging}/${page}.1 ${generated}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${generated}/${page}.1.gz
                     COMMAND gzip -9n -c ${generated}/${page}.1 > ${generated}/${page}.1.gz
                     DEPENDS ${generated}/${page}.1 VERBATIM)
  list(APPEND compressed ${generated}/${page}.1.gz)
endforeach()
add_custom_command(OUTPUT ${generated}/icons/48x48/apps/kelvane.png
                   COMMAND icon_png ${generated}/icons kelvane sorrel
                   DEPENDS icon_png VERBATIM)
add_custom_target(package_files ALL DEPENDS ${compressed} ${generated}/icons/48x48/apps/kelvane.png)

foreach(program Kelvane Sorrel)
  string(TOLOWER ${program} name)
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Commands on Linux are lower case; the build keeps the program's name.
  install(CODE "file(RENAME \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\")")
  install(FILES ${packaging}/${name}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${generated}/${name}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The software centre's entry, named after its component id.
  configure_file(${packaging}/${name}.metainfo.xml
                 ${generated}/org.example.${name}.metainfo.xml @ONLY)
  install(FILES ${generated}/org.example.${name}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()
install(DIRECTORY ${generated}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${packaging}/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MONITOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows name the platform's Japanese faces, which map to these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvane and Sorrel are PC-side TCP servers for network-attached digital\n\
I/O devices, with a Japanese user interface. Devices connect and report\n\
their digital inputs, which the window shows as lamps beside editable\n\
signal names; every frame can be logged to a CSV file. Kelvane shows three\n\
inputs and switches three outputs; Sorrel shows five inputs.")
include(CPack)
