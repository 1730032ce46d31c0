#pragma once
// The surveyexport command line: the first word names the command (plan, table,
// sections), the rest are that command's options and files.

#include <ostream>
#include <string>
#include <vector>

namespace surveyexport {

// Runs one command line. `args` are the words after the program's name. Messages go to
// `err` (one line each, prefixed "surveyexport: "), summaries and the help text to `out`.
// Returns an ExitCode: 0 done, 1 a problem with an input or output, 2 a usage error.
int RunSurveyExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help text of the whole program (all three commands).
std::string UsageText();

}  // namespace surveyexport
