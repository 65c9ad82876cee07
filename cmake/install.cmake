# Where everything goes on installation, and the Debian package.
#
# Two components: "programs" (the two clocks, their man pages and the
# desktop entry) and "development" (the Quadface library, its header and its
# pkg-config file, for other hosts that draw the face).  A plain
# `cmake --install` installs both; the package builder makes one .deb of each.

include(GNUInstallDirs)

install(TARGETS quadrix-image quadrix-x
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
install(FILES man/quadrix-image.1 man/quadrix-x.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
install(FILES data/quadrix-x.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)

install(TARGETS quadface
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES lib/quadface.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

# The pkg-config file finds its prefix from its own place, so an
# installation made with --prefix, DESTDIR or a package works wherever it
# lands.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(QUADFACE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QUADFACE_PC_UP "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" QUADFACE_PC_UP "${QUADFACE_PC_UP}")
  set(QUADFACE_PC_PREFIX "\${pcfiledir}/${QUADFACE_PC_UP}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(QUADFACE_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(QUADFACE_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(cmake/quadface.pc.in quadface.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quadface.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The Debian packages: cpack -G DEB in the build folder.
set(QUADRIX_PACKAGE_MAINTAINER "Quadrantine developers <quadrantine@localhost>"
  CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_PACKAGE_NAME quadrantine)
set(CPACK_PACKAGE_VENDOR "Quadrantine developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUADRIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUADRIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs development)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME quadrantine)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libquadface-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# First line: the package's summary; the rest: its long description.
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
  "clock that shows the time as an abstract picture
A square with a rim and a 3 x 3 grid is pushed away from the side where a
minute hand would point; stacks of bars beside it show the minutes, and a
block of two cells rolling through the grid shows the hour.

quadrix-image draws the clock once into an image file (XBM, XPM, PBM, PPM
or BMP); quadrix-x shows it in an X11 window or in a dock.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "drawing library of the Quadrantine clock
Quadface, a static library and its C and C++ header, draws the Quadrantine
clock face through two primitives that the host program defines: choose a
pen, fill a rectangle.")
# Packages carry the programs without their debugging symbols.
set(CPACK_STRIP_FILES ON)

include(CPack)
