#pragma once
// Writes survey data files for tests: the suite's survey file writer (tools/), and a
// fresh scratch folder for a test.
#include <string>

#include "tools/survey_writer.h"

namespace testsupport {

using surveywriter::Field;
using surveywriter::PackHeight;
using surveywriter::Record;
using surveywriter::TextNumber;
using surveywriter::WriteBytes;
using surveywriter::WriteSurveyFile;

// A fresh temporary folder for one test (removed by the caller or left in /tmp).
std::string MakeTempDir(const std::string& prefix);

}  // namespace testsupport
