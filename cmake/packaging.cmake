# The Debian package of the Linux programs, made by CPack from the install()
# rules: every program, file or unit that has an install rule is in it, with
# no list kept here. Its dependencies come from the shared libraries the
# programs link (dpkg-shlibdeps). `cpack -G DEB` in a build folder writes
# quillmoor_<version>_<arch>.deb (tools/package.sh does it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmoor)
set(CPACK_PACKAGE_VENDOR "Zelk")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Telescope accessory controller board: focuser, filter wheel and temperature sensors")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Programs for the Quillmoor controller board on one serial cable: the\n\
command-line client quillmoor, the board simulator quillmoor-sim and the\n\
INDI driver indi_quillmoor, with whatever other Linux programs of the\n\
project install themselves.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillmoor developers <quillmoor@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside what shlibdeps finds: the chart library the Alpaca server's setup
# pages load from Debian's shared JavaScript folder.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-chart.js")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
