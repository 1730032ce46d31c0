// surveyexport: survey files to CAD, GIS and spreadsheets. Every feature lives in
// export_lib; this only hands the words of the command line over.
#include <iostream>
#include <string>
#include <vector>

#include "export/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  int code = surveyexport::RunSurveyExport(args, std::cout, std::cerr);
  // A summary or help that could not be written (a full disk, a closed output) is a
  // failure the caller must hear of, as a script reads it.
  if (!std::cout.flush() && code == 0) {
    std::cerr << "surveyexport: standard output could not be written\n";
    code = 1;
  }
  return code;
}
