# Where everything goes on installation, and the Debian package.
#
# Two components: "programs" (the clocks, their man pages and the desktop
# entries) and "development" (the Quadface library, its header and its
# pkg-config file, for other hosts that draw the face).  A plain
# `cmake --install` installs both.  The two Debian packages hold the same in
# Debian's form, from two components of their own (at the end).

include(GNUInstallDirs)

install(TARGETS quadrix-image quadrix-x
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
install(FILES man/quadrix-image.1 man/quadrix-x.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
install(FILES data/quadrix-x.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
if(QUADRIX_WAYLAND)
  install(TARGETS quadrix-wayland
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  install(FILES man/quadrix-wayland.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
  install(FILES data/quadrix-wayland.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
endif()

install(TARGETS quadface
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES lib/quadface.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

# The pkg-config file finds its prefix from its own place, so an
# installation made with --prefix, DESTDIR or a package works wherever it
# lands.  quadface_pc(FILE LIBDIR) writes one for the library in LIBDIR.
function(quadface_pc file libdir)
  if(IS_ABSOLUTE "${libdir}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    set(QUADFACE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH up "/prefix/${libdir}/pkgconfig" "/prefix")
    string(REGEX REPLACE "/$" "" up "${up}")
    set(QUADFACE_PC_PREFIX "\${pcfiledir}/${up}")
  endif()
  set(QUADFACE_PC_LIBDIR "${libdir}")
  set(QUADFACE_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
  foreach(var QUADFACE_PC_LIBDIR QUADFACE_PC_INCLUDEDIR)
    if(NOT IS_ABSOLUTE "${${var}}")
      set(${var} "\${prefix}/${${var}}")
    endif()
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quadface.pc.in ${file} @ONLY)
endfunction()

quadface_pc(${CMAKE_CURRENT_BINARY_DIR}/quadface.pc "${CMAKE_INSTALL_LIBDIR}")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quadface.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The Debian packages: cpack -G DEB in the build folder.  Each package is
# made from a component of its own, left out of a plain installation: it
# holds what the plain one does, but in the form Debian asks of a package,
# with its man pages compressed, the library in the folder of its
# architecture (where a cross-compiling pkg-config looks too) and stripped of
# its debugging sections, and its copyright and changelog in
# share/doc/<package>.
set(QUADRIX_PACKAGE_MAINTAINER "Quadrantine developers <quadrantine@example.org>"
  CACHE STRING "Maintainer field of the Debian packages")

if(CMAKE_LIBRARY_ARCHITECTURE)
  set(deb_libdir lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(deb_libdir lib)
endif()
set(deb_files ${CMAKE_CURRENT_BINARY_DIR}/deb)

# The copyright file in Debian's machine-readable form: the licence text and
# its copyright line are taken from LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]*)\n")
  message(FATAL_ERROR "LICENSE has no copyright line")
endif()
set(QUADRIX_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
# Each line indented by one space, an empty one written as " .".
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " QUADRIX_LICENCE_TEXT " ${licence}")
configure_file(cmake/copyright.in ${deb_files}/copyright @ONLY)

# The changelog and the man pages, compressed as Debian does it: at the
# highest level, without a name or a time stamp, so that the same sources
# give the same package.
find_program(QUADRIX_GZIP gzip REQUIRED)
set(deb_compressed)
set(deb_pages man/quadrix-image.1 man/quadrix-x.1)
if(QUADRIX_WAYLAND)
  list(APPEND deb_pages man/quadrix-wayland.1)
endif()
foreach(source cmake/changelog ${deb_pages})
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${deb_files}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${deb_files}/${name}
    COMMAND ${QUADRIX_GZIP} -9nf ${deb_files}/${name}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND deb_compressed ${deb_files}/${name}.gz)
endforeach()
add_custom_target(deb_files ALL DEPENDS ${deb_compressed})

install(TARGETS quadrix-image quadrix-x
  RUNTIME DESTINATION bin COMPONENT deb_programs EXCLUDE_FROM_ALL)
install(FILES ${deb_files}/quadrix-image.1.gz ${deb_files}/quadrix-x.1.gz
  DESTINATION share/man/man1 COMPONENT deb_programs EXCLUDE_FROM_ALL)
install(FILES data/quadrix-x.desktop
  DESTINATION share/applications COMPONENT deb_programs EXCLUDE_FROM_ALL)
if(QUADRIX_WAYLAND)
  install(TARGETS quadrix-wayland
    RUNTIME DESTINATION bin COMPONENT deb_programs EXCLUDE_FROM_ALL)
  install(FILES ${deb_files}/quadrix-wayland.1.gz
    DESTINATION share/man/man1 COMPONENT deb_programs EXCLUDE_FROM_ALL)
  install(FILES data/quadrix-wayland.desktop
    DESTINATION share/applications COMPONENT deb_programs EXCLUDE_FROM_ALL)
endif()

install(TARGETS quadface
  ARCHIVE DESTINATION ${deb_libdir} COMPONENT deb_development EXCLUDE_FROM_ALL)
# What Debian's own packages do to a static library: its symbols stay, its
# debugging sections and compiler notes go.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
    --remove-section=.comment --remove-section=.note --enable-deterministic-archives
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${deb_libdir}/libquadface.a\"
    COMMAND_ERROR_IS_FATAL ANY)"
  COMPONENT deb_development EXCLUDE_FROM_ALL)
install(FILES lib/quadface.h DESTINATION include
  COMPONENT deb_development EXCLUDE_FROM_ALL)
quadface_pc(${deb_files}/quadface.pc "${deb_libdir}")
install(FILES ${deb_files}/quadface.pc DESTINATION ${deb_libdir}/pkgconfig
  COMPONENT deb_development EXCLUDE_FROM_ALL)

install(FILES ${deb_files}/copyright ${deb_files}/changelog.gz
  DESTINATION share/doc/quadrantine COMPONENT deb_programs EXCLUDE_FROM_ALL)
install(FILES ${deb_files}/copyright ${deb_files}/changelog.gz
  DESTINATION share/doc/libquadface-dev COMPONENT deb_development EXCLUDE_FROM_ALL)

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
# Folders as Debian wants them whatever the umask of the packager.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL deb_programs deb_development)
set(CPACK_DEBIAN_DEB_PROGRAMS_PACKAGE_NAME quadrantine)
set(CPACK_DEBIAN_DEB_DEVELOPMENT_PACKAGE_NAME libquadface-dev)
set(CPACK_DEBIAN_DEB_DEVELOPMENT_PACKAGE_SECTION libdevel)
# First line: the package's summary; the rest: its long description.
set(CPACK_DEBIAN_DEB_PROGRAMS_DESCRIPTION
  "clock that shows the time as an abstract picture
A square with a rim and a 3 x 3 grid is pushed away from the side where a
minute hand would point; stacks of bars beside it show the minutes, and a
block of two cells rolling through the grid shows the hour.

quadrix-image draws the clock once into an image file (XBM, XPM, PBM, PPM,
BMP in its OS/2 or Windows form, PNG or SVG); quadrix-x shows it in an X11
window, in a dock, or as the live background of the desktop.")
if(QUADRIX_WAYLAND)
  string(REPLACE "of the desktop." "of the desktop;
quadrix-wayland shows it in a Wayland window or as the live background of
every output." CPACK_DEBIAN_DEB_PROGRAMS_DESCRIPTION
    "${CPACK_DEBIAN_DEB_PROGRAMS_DESCRIPTION}")
  # X11's colour names, which quadrix-wayland reads from rgb.txt.
  set(CPACK_DEBIAN_DEB_PROGRAMS_PACKAGE_RECOMMENDS "x11-common")
endif()
set(CPACK_DEBIAN_DEB_DEVELOPMENT_DESCRIPTION
  "drawing library of the Quadrantine clock
Quadface, a static library and its C and C++ header, draws the Quadrantine
clock face through two primitives that the host program defines: choose a
pen, fill a rectangle.")
# Packages carry the programs without their debugging symbols.
set(CPACK_STRIP_FILES ON)

include(CPack)
