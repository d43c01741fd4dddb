# What `cmake --install` puts in place: the program and the map of its stop
# places; on Linux also korvanda-explain, which reads a report line against
# that map, and the manual pages. debian/ builds the Debian package from
# exactly this; on Windows the target `zip` packs it with NEWS.
include(GNUInstallDirs)
if(WIN32)
  install(TARGETS korvanda RUNTIME DESTINATION .)
  install(FILES $<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt DESTINATION .)
  # Same source, same .zip: fixed modes, the time of the last entry of
  # debian/changelog (as the Debian package takes it), no builder's user.
  file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog trailers
       REGEX "^ -- .*  ")
  list(GET trailers 0 trailer)
  string(REGEX REPLACE "^ -- .*  " "" changelog_date "${trailer}")
  add_custom_target(zip
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:korvanda>
      -DMAP=$<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt
      -DNEWS=${PROJECT_SOURCE_DIR}/NEWS
      "-DDATE=${changelog_date}"
      -DOUTPUT=${CMAKE_BINARY_DIR}/korvanda-${PROJECT_VERSION}-windows-x86_64.zip
      -P ${PROJECT_SOURCE_DIR}/cmake/windows_zip.cmake
    DEPENDS korvanda
    VERBATIM)
else()
  install(TARGETS korvanda RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/explain-stop.sh
    DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME korvanda-explain)
  install(FILES $<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt
    DESTINATION ${CMAKE_INSTALL_DATADIR}/korvanda)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/korvanda.1
    ${PROJECT_SOURCE_DIR}/doc/korvanda-explain.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
