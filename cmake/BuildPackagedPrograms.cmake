# Run by CPack (CPACK_INSTALL_SCRIPTS) before it installs the "portavel"
# component: builds the programs that go into the package, and nothing else.
# The package target itself depends on nothing (see Packaging.cmake).
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
list(JOIN CPACK_PORTAVEL_PACKAGED_TARGETS " and " targets)
message(STATUS "Building ${targets}, the programs the package holds")
# The package target's make would otherwise pass on its own job settings,
# which a make started from here cannot use.
execute_process(
  COMMAND ${CPACK_PORTAVEL_CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MFLAGS --unset=MAKELEVEL
    ${CPACK_PORTAVEL_CMAKE_COMMAND} --build ${CPACK_PORTAVEL_BUILD_DIR}
    --target ${CPACK_PORTAVEL_PACKAGED_TARGETS} --parallel ${cores}
  COMMAND_ERROR_IS_FATAL ANY)
