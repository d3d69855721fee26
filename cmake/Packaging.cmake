# Install rules and the Debian package.
#
#   cmake --build build --target package   ->  build/portavel_<version>_<arch>.deb
#
# Only the "portavel" install component goes into the package: the CGI
# program, portavel-db, the documentation and the configuration file. Tests,
# benchmarks and fuzz targets install nothing. See docs/packaging.md for the
# layout and for what the post-install step does.

set(PORTAVEL_CGI_DIR lib/cgi-bin/portavel)

# The program keeps its own name; Portavel.exe beside it is the name the
# dealer's web addresses (".../cgi-bin/Portavel.exe/Login") have always used,
# so a web server can map that address straight to a file of the same name.
install(TARGETS Portavel RUNTIME DESTINATION ${PORTAVEL_CGI_DIR} COMPONENT portavel)
install(CODE "file(CREATE_LINK Portavel \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PORTAVEL_CGI_DIR}/Portavel.exe\" SYMBOLIC)"
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
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "apache2 | lighttpd | nginx")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/debian/conffiles
  ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
