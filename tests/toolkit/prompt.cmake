# The graphic prompt window, driven with real key events on the offscreen platform.
suite_add_qt_test(tst_prompt_window
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_prompt_window.cpp
  LIBS suite_toolkit
  LABELS toolkit
  TIMEOUT 120)
