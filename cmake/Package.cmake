# The Debian package qova-survey-suite, made by CPack from what `cmake --install` lays
# down: every program that installs itself lands in it, with its menu entry and icons.
#   scripts/package      (a release build of only what is shipped, with Debian's flags)
#   cpack --config BUILD/CPackConfig.cmake -B OUTPUT-FOLDER
# The package is reproducible: every file in it carries the time of the last commit
# (SOURCE_DATE_EPOCH), so two builds of one commit give the same bytes.
set(SUITE_PACKAGE_NAME qova-survey-suite)
set(SUITE_PACKAGE_MAINTAINER "QOVA survey suite developers <suite@qova.invalid>")
set(SUITE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${SUITE_PACKAGE_NAME})

# What the package ships, by name: whatever else lies in samples/ or docs/ (the outputs
# of the how-tos' examples, a test's files) stays out of it.
set(SUITE_SAMPLE_FILES
  README.md CONTROL.STN LIST.PTS ROAD.CHG ROAD.SEC ROAD.SOL ROADDES.SEC ROADOLD.SEC
  SITE.NEH SITEREF.NEH TRAV.DAT)
set(SUITE_DOC_FILES
  howto-brisel.md howto-lisket.md howto-norvane.md howto-plandra.md
  howto-prompt-window.md howto-sectra.md howto-selvan.md howto-surveyexport.md
  howto-surveyexport-gui.md surveyexport-gui.png surveyexport-gui-sheet.png
  brisel.png brisel-page-label.png brisel-preview-100.png brisel-preview-fit.png
  export-sections.png export-site-dxf.png export-site-gpkg.png export-site-plan.png
  export-sections-dxf-librecad.png export-site-dxf-librecad.png export-site-qgis.png
  lisket.png norvane.png plandra-dark.png plandra-light.png plandra-zoom-label.png
  sectra.png sectra-dark.png selvan.png selvan-installed.png selvan-list.png)
# The programs and the other executables in /usr/bin; the programs have menu entries.
set(SUITE_MENU_PROGRAMS selvan lisket plandra plandra-light sectra sectra-dark brisel norvane
  surveyexport-gui)
set(SUITE_SHIPPED_TARGETS ${SUITE_MENU_PROGRAMS} hkconvert surveyexport)

list(TRANSFORM SUITE_SAMPLE_FILES PREPEND ${PROJECT_SOURCE_DIR}/samples/ OUTPUT_VARIABLE _suite_samples)
list(TRANSFORM SUITE_DOC_FILES PREPEND ${PROJECT_SOURCE_DIR}/docs/ OUTPUT_VARIABLE _suite_docs)
install(FILES ${_suite_samples} DESTINATION ${CMAKE_INSTALL_DATADIR}/${SUITE_PACKAGE_NAME}/samples)
# The README with its how-tos and pictures (the README's image links point into docs/,
# which sits beside it here as in the source tree).
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${SUITE_DOC_DIR})
install(FILES ${_suite_docs} DESTINATION ${SUITE_DOC_DIR}/docs)

# Debian wants a copyright file and, for a package without a Debian revision, a
# changelog.gz beside the documentation. The changelog is made from package/changes when
# installing, so that its newest entry carries the date of the commit installed.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/package/changes _suite_first_version
     REGEX "^[0-9]" LIMIT_COUNT 1)
if(NOT _suite_first_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "cmake/package/changes begins with ${_suite_first_version}: add what changed in ${PROJECT_VERSION} at its top")
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/package/copyright DESTINATION ${SUITE_DOC_DIR})
install(CODE "
  set(SUITE_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
  set(SUITE_CHANGES \"${CMAKE_CURRENT_LIST_DIR}/package/changes\")
  set(SUITE_VERSION \"${PROJECT_VERSION}\")
  set(SUITE_PACKAGE_NAME \"${SUITE_PACKAGE_NAME}\")
  set(SUITE_MAINTAINER \"${SUITE_PACKAGE_MAINTAINER}\")
  set(SUITE_CHANGELOG \"${CMAKE_BINARY_DIR}/package/changelog\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/package/changelog.cmake\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${SUITE_DOC_DIR}\" TYPE FILE
       FILES \"${CMAKE_BINARY_DIR}/package/changelog.gz\")
")

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

# Icons of 16 to 128 pixels beside each program's scalable one, for menus and panels
# that take only bitmaps: rendered from the program's SVG (PROGRAM.svg in its folder)
# when building. A size the program's folder holds drawn by hand (PROGRAM-48.png) is
# installed with its menu entry instead.
set(SUITE_ICON_SIZES 16 32 48 64 128)
find_program(SUITE_RSVG_CONVERT rsvg-convert)
set(_suite_icons "")
foreach(_program IN LISTS SUITE_MENU_PROGRAMS)
  if(NOT TARGET ${_program})
    continue()
  endif()
  get_target_property(_folder ${_program} SOURCE_DIR)
  set(_svg ${_folder}/${_program}.svg)
  if(NOT EXISTS ${_svg})
    message(FATAL_ERROR "${_program} has no icon ${_svg}")
  endif()
  if(NOT SUITE_RSVG_CONVERT)
    continue()
  endif()
  foreach(_size IN LISTS SUITE_ICON_SIZES)
    if(EXISTS ${_folder}/${_program}-${_size}.png)
      continue()
    endif()
    set(_png ${CMAKE_BINARY_DIR}/package/icons/${_size}x${_size}/${_program}.png)
    add_custom_command(OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package/icons/${_size}x${_size}
      COMMAND ${SUITE_RSVG_CONVERT} --width ${_size} --height ${_size} --keep-aspect-ratio
              --output ${_png} ${_svg}
      DEPENDS ${_svg}
      COMMENT "Rendering the ${_size} px icon of ${_program}"
      VERBATIM)
    list(APPEND _suite_icons ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
  endforeach()
endforeach()
if(NOT SUITE_RSVG_CONVERT)
  message(WARNING "rsvg-convert (Debian package librsvg2-bin, scripts/setup installs it) is missing: the package gets no bitmap icons")
endif()
add_custom_target(suite_icons ALL DEPENDS ${_suite_icons})

# Everything the package holds, and nothing else (scripts/package builds only this).
add_custom_target(suite_shipped)
add_dependencies(suite_shipped suite_icons)
foreach(_target IN LISTS SUITE_SHIPPED_TARGETS)
  if(TARGET ${_target})
    add_dependencies(suite_shipped ${_target})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SUITE_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QOVA survey suite developers")
set(CPACK_PACKAGE_CONTACT "${SUITE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop programs for land surveyors on the Hong Kong grids")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"List survey files, plot plans and cross sections, view and print any survey
file, convert coordinates between the 1980 and 1984 Hong Kong grids, UTM, the
HK 1980 geodetic datum and WGS 84, export survey files to CAD, GIS and
spreadsheets, and start it all from one menu.
.
Programs: selvan (the menu), lisket (file lister), plandra and plandra-light
(plan plotter), sectra and sectra-dark (section plotter), brisel (file viewer
with print preview), norvane (coordinate converter), the command-line
converter hkconvert, and surveyexport, which writes survey files as DXF,
GeoPackage, GeoJSON, KML, CSV and XLSX, and plans and sections at scale as
PDF and SVG, with its window surveyexport-gui (Survey Export). Sample survey
files are in /usr/share/qova-survey-suite/samples.")
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
# Run by cpack before it installs: unless SOURCE_DATE_EPOCH is given, the time of the
# last commit, which CPack gives every file and the archive itself, and the changelog
# its newest date.
file(WRITE ${CMAKE_BINARY_DIR}/package/cpack-project.cmake "
if(NOT \"\$ENV{SOURCE_DATE_EPOCH}\" MATCHES \"^[0-9]+\$\")
  execute_process(COMMAND git -C \"${PROJECT_SOURCE_DIR}\" log -1 --format=%ct
                  OUTPUT_VARIABLE _epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_epoch MATCHES \"^[0-9]+\$\")
    set(ENV{SOURCE_DATE_EPOCH} \"\${_epoch}\")
  else()
    message(WARNING \"not a git checkout and no SOURCE_DATE_EPOCH: the package's files carry the time of this build\")
  endif()
endif()
")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package/cpack-project.cmake)
include(CPack)
