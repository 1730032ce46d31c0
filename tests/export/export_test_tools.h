#pragma once
// What the surveyexport tests share: a command run through the program's own entry point
// (no process), and the standard output of an outside reader (Poppler, ezdxf, ogrinfo).
#include <QFile>
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
  const bool done =
      p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (ok) *ok = done;
  return QString::fromUtf8(p.readAllStandardOutput());
}

// A drawing's PDF asks viewers to print it at actual size: its last catalog (where the
// last cross-reference section says it is) holds /PrintScaling /None, and Poppler reads the
// file without an error.
inline bool AsksActualSize(const QString& pdf) {
  QFile f(pdf);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray d = f.readAll();
  const qsizetype xref = d.lastIndexOf("startxref");
  if (xref < 0) return false;
  const qsizetype table = d.mid(xref + 9).trimmed().split('\n').value(0).trimmed().toLongLong();
  // The last section names one object: "xref\n0 1\n...\nN 1\nOFFSET 00000 n".
  const QList<QByteArray> rows = d.mid(table).split('\n');
  if (rows.size() < 5 || !rows[0].startsWith("xref")) return false;
  const qsizetype at = rows[4].left(10).toLongLong();
  const QByteArray object = d.mid(at, d.indexOf("endobj", at) - at);
  if (!object.startsWith(rows[3].split(' ').value(0) + " 0 obj") ||
      !object.contains("/Type /Catalog") ||
      !object.contains("/ViewerPreferences << /PrintScaling /None >>"))
    return false;
  QProcess p;
  p.start("pdfinfo", {pdf});
  return p.waitForFinished(30000) && p.exitCode() == 0 && p.readAllStandardError().isEmpty();
}

}  // namespace exporttest
