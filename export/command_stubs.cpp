// Commands not built into this version of surveyexport. A command's real definition
// replaces its stub here; every command is built now.
#include "export/commands.h"
#include "export/export_common.h"
