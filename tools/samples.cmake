# The sample-file writer: make_samples FOLDER writes the suite's sample survey files.
# `cmake --build BUILD --target write_samples` rewrites samples/ in the source tree.
# The survey file writer the samples and the tests' fixtures are written with.
add_library(suite_survey_writer STATIC ${CMAKE_CURRENT_SOURCE_DIR}/survey_writer.cpp)
target_include_directories(suite_survey_writer PUBLIC ${PROJECT_SOURCE_DIR})
add_executable(make_samples ${CMAKE_CURRENT_SOURCE_DIR}/make_samples.cpp)
target_link_libraries(make_samples PRIVATE suite_survey_writer)
add_custom_target(write_samples
  COMMAND make_samples ${PROJECT_SOURCE_DIR}/samples
  COMMENT "Writing the sample survey files into samples/")
if(SUITE_BUILD_TESTS)
  # The committed samples are exactly what the writer writes.
  add_test(NAME samples_up_to_date
    COMMAND make_samples --check ${PROJECT_SOURCE_DIR}/samples)
endif()
