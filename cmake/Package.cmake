# The Debian package qova-survey-suite, made by CPack from what `cmake --install` lays
# down: every program that installs itself lands in it, with its menu entry and icon.
#   cpack --config BUILD/CPackConfig.cmake -B OUTPUT-FOLDER      (or scripts/package)
set(SUITE_PACKAGE_NAME qova-survey-suite)
set(SUITE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${SUITE_PACKAGE_NAME})

# The sample survey files, the README with its how-tos and pictures (the README's image
# links point into docs/, which sits beside it here as in the source tree).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${SUITE_PACKAGE_NAME}/samples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${SUITE_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${SUITE_DOC_DIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

# Debian wants a copyright file and, for a package without a Debian revision, a
# changelog.gz beside the documentation. The changelog is compressed here, without a
# time stamp, so that the same sources give the same package.
configure_file(${CMAKE_CURRENT_LIST_DIR}/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/package/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/changelog.gz
                RESULT_VARIABLE _gzip_result)
if(NOT _gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the package changelog")
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/package/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
        DESTINATION ${SUITE_DOC_DIR})

# A manual page for each program: what it does, where it looks for files, where the
# samples and the README are.
file(GLOB _suite_man_pages ${CMAKE_CURRENT_LIST_DIR}/package/man/*.1.in)
foreach(_page IN LISTS _suite_man_pages)
  get_filename_component(_name ${_page} NAME_WLE)
  configure_file(${_page} ${CMAKE_BINARY_DIR}/package/man/${_name} @ONLY)
  execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/package/man/${_name}
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/man/${_name}.gz
                  RESULT_VARIABLE _gzip_result)
  if(NOT _gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip could not compress the manual page ${_name}")
  endif()
  install(FILES ${CMAKE_BINARY_DIR}/package/man/${_name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SUITE_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QOVA survey suite developers")
set(CPACK_PACKAGE_CONTACT "QOVA survey suite developers <suite@qova.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop programs for land surveyors on the Hong Kong grids")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"List survey files, plot plans and cross sections, view and print any survey
file, convert coordinates between the 1980 and 1984 Hong Kong grids, UTM, the
HK 1980 geodetic datum and WGS 84, and start it all from one menu.
.
Programs: selvan (the menu), lisket (file lister), plandra and plandra-light
(plan plotter), sectra and sectra-dark (section plotter), brisel (file viewer
with print preview), norvane (coordinate converter) and the command-line
converter hkconvert. Sample survey files are in
/usr/share/qova-survey-suite/samples.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The install runs with the final prefix (/usr) into a staging folder, so that the menu
# entries name /usr/bin/PROGRAM and not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps, and the fonts they draw with
# (Courier New and Arial are matched by the Liberation fonts).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
