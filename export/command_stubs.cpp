// Commands not built into this version of surveyexport. A command's real definition
// replaces its stub here.
#include "export/commands.h"
#include "export/export_common.h"

namespace surveyexport {
namespace {
int NotAvailable(const char* command, std::ostream& err) {
  err << "surveyexport: '" << command << "' is not available in this build\n";
  return kUsage;
}
}  // namespace

int RunTableCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  return NotAvailable("table", err);
}

int RunSectionsCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  return NotAvailable("sections", err);
}

}  // namespace surveyexport
