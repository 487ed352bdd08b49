# The Debian package of the Linux programs, made by CPack from the install()
# rules: every program, file or unit that has an install rule is in it, with
# no list kept here. Its dependencies come from the shared libraries the
# programs link (dpkg-shlibdeps). `cpack -G DEB` in a build folder writes
# quillmoor_<version>_<arch>.deb (tools/package.sh does it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmoor)
set(CPACK_PACKAGE_VENDOR "Zelk")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drivers for a telescope focuser and filter wheel controller board")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Programs for the Quillmoor controller board, which runs a focuser, a filter\n\
wheel and temperature sensors on one serial cable: the command-line client\n\
quillmoor, the board simulator quillmoor-sim, the INDI driver\n\
indi_quillmoor and the ASCOM Alpaca server quillmoor-alpaca.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The project has no mail host: the reserved .invalid domain says so.
set(QUILLMOOR_MAINTAINER "Quillmoor developers <developers@quillmoor.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLMOOR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside what shlibdeps finds: the chart library the Alpaca server's setup
# pages load from Debian's shared JavaScript folder.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-chart.js")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)

# Debian's own files: the changelog and the copyright notice in the
# documentation folder, and a manual page for each program, made from its
# --help by help2man when the programs are built.
set(deb_doc ${PROJECT_BINARY_DIR}/debian-doc)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${deb_doc}/changelog @ONLY)
set(deb_outputs ${deb_doc}/changelog.gz)
add_custom_command(OUTPUT ${deb_doc}/changelog.gz
  COMMAND gzip -9nc ${deb_doc}/changelog > ${deb_doc}/changelog.gz
  DEPENDS ${deb_doc}/changelog)
install(FILES ${deb_doc}/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION share/doc/quillmoor)
find_program(HELP2MAN help2man)
foreach(page "quillmoor|run one command against a Quillmoor controller board"
             "quillmoor-sim|play a Quillmoor controller board on a pseudo-terminal"
             "indi_quillmoor|INDI driver of the Quillmoor focuser and filter wheel"
             "quillmoor-alpaca|serve a Quillmoor board's focuser and filter wheel over ASCOM Alpaca")
  string(REPLACE "|" ";" parts "${page}")
  list(GET parts 0 program)
  list(GET parts 1 summary)
  if(NOT TARGET ${program})
    continue()
  endif()
  if(NOT HELP2MAN OR QUILLMOOR_SANITIZE)  # a sanitizer's report would spoil the page
    continue()
  endif()
  set(man ${deb_doc}/${program}.1)
  add_custom_command(OUTPUT ${man}.gz
    COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION} "--name=${summary}"
            --output=${man} $<TARGET_FILE:${program}>
    COMMAND gzip -9nf ${man}
    DEPENDS ${program}
    VERBATIM)
  list(APPEND deb_outputs ${man}.gz)
  install(FILES ${man}.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(debian_docs ALL DEPENDS ${deb_outputs})

include(CPack)
