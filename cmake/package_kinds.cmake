# Read by CPack once per package kind (CPACK_GENERATOR is the one at work),
# before it runs the install scripts.

# The program goes out without its symbols (the install rules strip it then).
set(CMAKE_INSTALL_DO_STRIP ON)

if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_VISTREL_PORTABLE_NAME})
  # Everything inside one folder "Vistrel", and the folder "portable" beside
  # the program.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/${CPACK_PACKAGE_NAME}")
  list(APPEND CPACK_INSTALL_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/portable_folder.cmake)
elseif(CPACK_GENERATOR STREQUAL "NSIS64")
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_VISTREL_SETUP_NAME})
endif()
