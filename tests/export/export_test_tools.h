#pragma once
// What the surveyexport tests share: a command run through the program's own entry point
// (no process), and the standard output of an outside reader (Poppler, ezdxf, ogrinfo).
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sstream>
#include <string>
#include <vector>

#include "export/cli.h"

namespace exporttest {

struct Run {
  int code = -1;
  std::string out, err;
};

// `surveyexport COMMAND --quiet WORDS...`
inline Run Export(const char* command, const QStringList& words) {
  std::vector<std::string> args{command, "--quiet"};
  for (const QString& w : words) args.push_back(w.toStdString());
  std::ostringstream out, err;
  Run r;
  r.code = surveyexport::RunSurveyExport(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// The standard output of a program; ok tells whether it ran and exited with 0.
inline QString Tool(const QString& program, const QStringList& args, bool* ok = nullptr) {
  QProcess p;
  p.start(program, args);
  const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
                    p.exitCode() == 0;
  if (ok) *ok = done;
  return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace exporttest
