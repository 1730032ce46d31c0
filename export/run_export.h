#pragma once
// Runs a surveyexport command from its options record: the library's ExportPlan,
// DrawPlanSheet, ExportTable or DrawSections for each input, with the progress bar on
// `err` (inputs of 10,000 records or more, not with --quiet), the summary of each output
// on `out` and each problem as one line on `err`. The command line and the window build
// the same record.
#include <ostream>

#include "export/options.h"

namespace surveyexport {

// The ExitCode of the run: 0 every output written, 1 one of them failed (the others are
// still written).
int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace surveyexport
