#pragma once
// The commands of surveyexport. Each takes the words after its own name.

#include <ostream>
#include <string>
#include <vector>

namespace surveyexport {

int RunPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunTableCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunSectionsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace surveyexport
