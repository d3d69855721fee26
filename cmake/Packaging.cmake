# Install rules and the Debian package.
#
#   cmake --build build --target package   ->  build/portavel_<version>_<arch>.deb
#
# Only the "portavel" install component goes into the package: the CGI
# program, portavel-db, the documentation, the configuration file and the
# default logo. Tests, benchmarks and fuzz targets install nothing, and the
# package target builds only the two programs (see the end of this file).
# See docs/packaging.md for the layout and for what the post-install step
# does.

# The program lives outside every folder a stock web server serves (Debian's
# Apache and lighttpd map /cgi-bin/ to /usr/lib/cgi-bin), so it answers only
# at the address a recipe gives it, where the recipe's rules apply.
set(PORTAVEL_PROGRAM_DIR lib/portavel)

# The program keeps its own name; Portavel.exe beside it is the name the
# dealer's web addresses (".../cgi-bin/Portavel.exe/Login") have always used,
# so a web server can map that address straight to a file of the same name.
install(TARGETS Portavel RUNTIME DESTINATION ${PORTAVEL_PROGRAM_DIR} COMPONENT portavel)
install(CODE "file(CREATE_LINK Portavel \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PORTAVEL_PROGRAM_DIR}/Portavel.exe\" SYMBOLIC)"
  COMPONENT portavel)
install(TARGETS portavel-db RUNTIME DESTINATION bin COMPONENT portavel)

file(GLOB PORTAVEL_DOCS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${PORTAVEL_DOCS}
  DESTINATION share/doc/portavel COMPONENT portavel)

# The web server recipes, so that an installed portal has them without
# Portavel's source: docs/deployment.md copies them from here.
install(DIRECTORY deploy/ DESTINATION share/doc/portavel/examples COMPONENT portavel)

# The configuration file: a dpkg conffile, so upgrades keep the dealer's
# edits. It holds the session secret once installed, hence not world-readable.
# The untouched copy under share/portavel lets the post-install step tell a
# file nobody has edited yet from the dealer's own.
install(FILES packaging/portavel.toml DESTINATION /etc/portavel COMPONENT portavel
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
install(FILES packaging/portavel.toml DESTINATION share/portavel COMPONENT portavel)

# Every page shows /Logo.png. The post-install step copies this neutral one
# to /etc/portavel/Logo.png, where the recipes serve it from, when no logo is
# there yet; the dealer's own replaces it and is never touched again.
install(FILES packaging/Logo.png DESTINATION share/portavel COMPONENT portavel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME portavel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Portavel maintainers <portavel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "customer self-service portal of a propane and heating-fuel dealer")
set(CPACK_PACKAGE_DESCRIPTION
  "Portavel is a CGI program that lets a fuel dealer's customers see their\n\
account, request deliveries and pay bills on the dealer's own accounting\n\
tables, kept in SQLite. portavel-db sets up and fills those tables.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};portavel;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
# dpkg-shlibdeps finds the libraries the programs link; libcurl is opened at
# run time (dlopen "libcurl.so.4"), and checks the gateways' certificates
# against the system's CA store, so both are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4, ca-certificates")
# The sqlite3 shell takes and restores the backups (docs/operations.md).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sqlite3")
# A store on a PostgreSQL server needs libpq, which the programs open at
# run time (dlopen "libpq.so.5") only then; a store on SQLite never does.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "apache2 | lighttpd | nginx, libpq5")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/debian/conffiles
  ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The package target builds only what goes into the package, not every test
# and benchmark first: neither it nor the install step it runs depends on
# "all", and CPack builds the two programs before it installs them. (So
# `--target install` installs what was built before; it builds nothing.)
set(CMAKE_SKIP_PACKAGE_ALL_DEPENDENCY ON)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_INSTALL_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/BuildPackagedPrograms.cmake)
# CPack hands its CPACK_ variables to that script.
set(CPACK_PORTAVEL_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_PORTAVEL_BUILD_DIR ${CMAKE_BINARY_DIR})
set(CPACK_PORTAVEL_PACKAGED_TARGETS Portavel portavel-db)

include(CPack)
