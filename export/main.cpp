// surveyexport: survey files to CAD, GIS and spreadsheets. Every feature lives in
// export_lib; this only hands the words of the command line over.
#include <iostream>
#include <string>
#include <vector>

#include "export/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return surveyexport::RunSurveyExport(args, std::cout, std::cerr);
}
