// The surveyexport command line: the words into the options record, then the run.
#include "export/cli.h"

#include "export/options.h"
#include "export/run_export.h"

namespace surveyexport {

std::string UsageText() { return ProgramUsage(); }

int RunSurveyExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ExportOptions options;
  if (std::string problem = ParseCommandLine(args, &options); !problem.empty()) {
    if (args.empty()) err << ProgramUsage();
    return UsageError(err, problem);
  }
  if (options.help) {
    out << (args.front().rfind('-', 0) == 0 || args.front() == "help"
                ? ProgramUsage()
                : CommandUsage(options.command));
    return kDone;
  }
  return RunExport(options, out, err);
}

}  // namespace surveyexport
