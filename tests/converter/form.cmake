# The converter form through its real window.
if(TARGET suite_converter_form)
  add_library(tst_converter_form_support STATIC form_driver.cpp form_driver.h)
  target_link_libraries(tst_converter_form_support PUBLIC suite_converter_form suite_test_message_boxes
    Qt6::Test Qt6::Widgets)
  target_include_directories(tst_converter_form_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

  suite_add_qt_test(tst_converter_form SOURCES tst_converter_form.cpp
    LIBS tst_converter_form_support)
  if(TARGET suite_test_print_capture)
    suite_add_qt_test(tst_converter_print SOURCES tst_converter_print.cpp
      LIBS tst_converter_form_support suite_test_print_capture
      FIXTURES print_queue ENVIRONMENT "${SUITE_PRINT_ENVIRONMENT}")
    set_tests_properties(tst_converter_print PROPERTIES RESOURCE_LOCK printer)
  endif()
endif()
