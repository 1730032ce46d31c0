# hkconvert: the converter's six-system derivation as a filter on standard input.
if(TARGET suite_converter_core)
  add_executable(hkconvert ${CMAKE_CURRENT_SOURCE_DIR}/hkconvert.cpp)
  target_link_libraries(hkconvert PRIVATE suite_converter_core)
  install(TARGETS hkconvert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(SUITE_BUILD_TESTS)
    suite_add_qt_test(tst_hkconvert SOURCES ${PROJECT_SOURCE_DIR}/tests/converter/tst_hkconvert.cpp
      LIBS suite_converter_core ENVIRONMENT "HKCONVERT=$<TARGET_FILE:hkconvert>")
    add_dependencies(tst_hkconvert hkconvert)
  endif()
endif()
