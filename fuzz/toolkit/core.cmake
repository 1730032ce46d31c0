# Fuzz targets for the toolkit's readers of untrusted bytes and text, and for the number
# and mask formatters over arbitrary values. Each also checks properties of its output.
# Fuzzer builds compile the toolkit's sources into each target, so that the sanitizers
# see inside the reader and the formatters too.
set(toolkit_core_sources
  ${PROJECT_SOURCE_DIR}/toolkit/survey_files.cpp ${PROJECT_SOURCE_DIR}/toolkit/number_text.cpp
  ${PROJECT_SOURCE_DIR}/toolkit/print_using.cpp ${PROJECT_SOURCE_DIR}/toolkit/first_field.cpp)
foreach(target fuzz_survey_reader fuzz_text_number fuzz_number_text fuzz_first_field fuzz_print_using)
  if(SUITE_BUILD_FUZZ)
    suite_add_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp ${toolkit_core_sources})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  else()
    suite_add_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp LIBS suite_toolkit_core)
  endif()
endforeach()
