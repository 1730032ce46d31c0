# Tests of the toolkit's core without Qt (file reader, number texts, masks, first field)
# and of the bitmap writer. Qt is used here only for QtTest.
suite_add_qt_test(tst_survey_files SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_survey_files.cpp
  LIBS suite_toolkit_core suite_test_survey_writer)
suite_add_qt_test(tst_number_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_number_text.cpp
  LIBS suite_toolkit_core)
suite_add_qt_test(tst_first_field SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_first_field.cpp
  LIBS suite_toolkit_core)
suite_add_qt_test(tst_print_using SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_print_using.cpp
  LIBS suite_toolkit_core)
suite_add_qt_test(tst_bitmap_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_bitmap_file.cpp
  LIBS suite_platform_core suite_test_survey_writer Qt6::Gui)
suite_add_qt_test(tst_clip_segment SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_clip_segment.cpp
  LIBS suite_toolkit_core)
