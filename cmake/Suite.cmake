# Helpers shared by every folder of the suite.

# suite_add_qt_test(NAME SOURCES... LIBS... [LABELS ...] [FIXTURES ...])
# A QtTest executable registered with CTest, run on the offscreen platform.
function(suite_add_qt_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;FIXTURES;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SUITE_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENVIRONMENT}"
    TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
endfunction()

# suite_add_fuzzer(NAME SOURCES... LIBS...)
# With SUITE_BUILD_FUZZ (clang) a libFuzzer target; otherwise the same entry point linked
# with a replay driver and registered with CTest over fuzz/corpus/NAME/, so that every
# saved input (seeds and regressions) is run by the ordinary test suite.
function(suite_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  set(corpus "${PROJECT_SOURCE_DIR}/fuzz/corpus/${name}")
  if(SUITE_BUILD_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    set_property(GLOBAL APPEND PROPERTY SUITE_FUZZERS ${name})
  else()
    add_executable(${name}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    if(SUITE_BUILD_TESTS)
      add_test(NAME ${name}_replay COMMAND ${name}_replay ${corpus})
      set_tests_properties(${name}_replay PROPERTIES LABELS fuzz-replay TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
  endif()
endfunction()

# suite_add_bench(NAME SOURCES... LIBS...): a Google Benchmark program, not run by CTest.
function(suite_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: ${name} not built")
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# suite_install_menu_entry(PROGRAM DESKTOP TEMPLATE ICON SVG [PNG48 PNG])
# Installs a desktop menu entry for PROGRAM (share/applications/PROGRAM.desktop) and its
# icon under the name PROGRAM in the hicolor theme. The entry names the program by its
# installed path, known only when installing (`cmake --install BUILD --prefix FOLDER`, or
# /usr in the Debian package): the template's @PROGRAM_EXEC@ is that path and
# @PROGRAM_EXEC_QUOTED@ the same quoted for the Exec key.
function(suite_install_menu_entry program)
  cmake_parse_arguments(M "" "DESKTOP;ICON;PNG48" "" ${ARGN})
  set(template "${CMAKE_CURRENT_SOURCE_DIR}/${M_DESKTOP}")
  set(entry "${CMAKE_CURRENT_BINARY_DIR}/${program}.desktop")
  install(CODE "
    set(PROGRAM_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
    string(REPLACE \"\\\\\" \"\\\\\\\\\" PROGRAM_EXEC_QUOTED \"\${PROGRAM_EXEC}\")
    string(REPLACE \"\\\"\" \"\\\\\\\"\" PROGRAM_EXEC_QUOTED \"\${PROGRAM_EXEC_QUOTED}\")
    configure_file(\"${template}\" \"${entry}\" @ONLY)
  ")
  install(FILES "${entry}" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES "${M_ICON}" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${program}.svg)
  if(M_PNG48)
    install(FILES "${M_PNG48}" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
            RENAME ${program}.png)
  endif()
endfunction()
