# What `cmake --install` puts in place and what cpack packs: the program,
# the map of its stop places and, on Linux, the script that reads a report
# line against that map. A .deb for Linux, a .zip for Windows.
include(GNUInstallDirs)
if(WIN32)
  set(korvanda_program_dir .)
  set(korvanda_map_dir .)
else()
  set(korvanda_program_dir ${CMAKE_INSTALL_BINDIR})
  set(korvanda_map_dir ${CMAKE_INSTALL_DATADIR}/korvanda)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/explain-stop.sh
    DESTINATION ${korvanda_program_dir} RENAME korvanda-explain)
endif()
install(TARGETS korvanda RUNTIME DESTINATION ${korvanda_program_dir})
install(FILES $<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt
  DESTINATION ${korvanda_map_dir})

set(CPACK_PACKAGE_NAME korvanda)
set(CPACK_PACKAGE_VENDOR "korvanda developers")
set(CPACK_PACKAGE_CONTACT "korvanda developers <dev@korvanda.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Batch program: the narrowest gap between neighbouring points")
set(CPACK_PACKAGE_FILE_NAME
  "korvanda-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  # The processor the program was built for, not the one building it.
  set(deb_architecture ${CMAKE_SYSTEM_PROCESSOR})
  if(deb_architecture STREQUAL x86_64)
    set(deb_architecture amd64)
  elseif(deb_architecture STREQUAL aarch64)
    set(deb_architecture arm64)
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_architecture})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # A static program: it depends on nothing.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
endif()
include(CPack)
