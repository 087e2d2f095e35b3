# The two release packages of the Windows build, made by CPack as part of the
# normal build into build/win/packages:
#   Vistrel-<version>-win64-portable.zip  one folder "Vistrel": the program, its
#       text files and an empty folder "portable", so that the unpacked program
#       keeps its settings beside itself;
#   Vistrel-<version>-win64-setup.exe     the per-user installer (NSIS, zlib),
#       from the script cmake/NSIS.template.in.
# Both hold exactly what the install rules below list.
if(NOT VISTREL_WINDOWS)
  return()
endif()

install(TARGETS vistrel RUNTIME DESTINATION .)
install(FILES
  ${CMAKE_SOURCE_DIR}/resources/documentation.txt
  ${CMAKE_SOURCE_DIR}/resources/license.txt
  ${CMAKE_SOURCE_DIR}/resources/changelog.txt
  DESTINATION .)

set(VISTREL_PACKAGE_FOLDER ${CMAKE_BINARY_DIR}/packages)
# The names, without extension, for cmake/package_kinds.cmake too.
set(CPACK_VISTREL_PORTABLE_NAME Vistrel-${PROJECT_VERSION}-win64-portable)
set(CPACK_VISTREL_SETUP_NAME Vistrel-${PROJECT_VERSION}-win64-setup)
set(VISTREL_PORTABLE_ZIP ${VISTREL_PACKAGE_FOLDER}/${CPACK_VISTREL_PORTABLE_NAME}.zip)
set(VISTREL_SETUP_EXE ${VISTREL_PACKAGE_FOLDER}/${CPACK_VISTREL_SETUP_NAME}.exe)

set(CPACK_GENERATOR "ZIP;NSIS64")
set(CPACK_PACKAGE_NAME Vistrel)
set(CPACK_PACKAGE_VENDOR "The Vistrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vistrel picture viewer")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Vistrel)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/resources/license.txt)
set(CPACK_PACKAGE_DIRECTORY ${VISTREL_PACKAGE_FOLDER})

# The install rules run as a script, without the build step that CPack would
# otherwise start: the packages are made inside the build itself.
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALL_SCRIPTS ${CMAKE_BINARY_DIR}/cmake_install.cmake)
# Per package: its file name, the ZIP's top folder and its "portable" folder.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/package_kinds.cmake)

# The installer (see NSIS.template.in; CPack finds it on the module path).
list(APPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake)
set(CPACK_NSIS_COMPRESSOR zlib)
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/resources/vistrel.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/resources/vistrel.ico)
set(CPACK_NSIS_URL_INFO_ABOUT ${VISTREL_WEBSITE})
set(CPACK_NSIS_UNINSTALL_NAME uninstall)
include(CPack)

set(package_inputs
  ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  ${CMAKE_SOURCE_DIR}/cmake/NSIS.template.in
  ${CMAKE_SOURCE_DIR}/cmake/package_kinds.cmake
  ${CMAKE_SOURCE_DIR}/cmake/portable_folder.cmake
  ${CMAKE_SOURCE_DIR}/resources/documentation.txt
  ${CMAKE_SOURCE_DIR}/resources/license.txt
  ${CMAKE_SOURCE_DIR}/resources/changelog.txt
  ${CMAKE_SOURCE_DIR}/resources/vistrel.ico)
add_custom_command(OUTPUT ${VISTREL_PORTABLE_ZIP} ${VISTREL_SETUP_EXE}
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
          -B ${VISTREL_PACKAGE_FOLDER}
  DEPENDS vistrel $<TARGET_FILE:vistrel> ${package_inputs}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Packaging the portable ZIP and the installer")
add_custom_target(vistrel_packages ALL DEPENDS ${VISTREL_PORTABLE_ZIP} ${VISTREL_SETUP_EXE})
