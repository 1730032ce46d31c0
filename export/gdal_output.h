#pragma once
// A GDAL dataset written as a pending output: created under the output's temporary name
// through checked writes, features written in transactions of a bounded size where the
// format has them (GeoPackage), every write, commit and the close checked, and GDAL's
// error state read after the close. Nothing of it reaches the output's name before
// Finish has found all of it written.
#include <gdal.h>
#include <ogr_api.h>

#include <cstdint>
#include <string>

#include "export/export_common.h"

namespace surveyexport {

class GdalOutput {
 public:
  // Rows of a GeoPackage committed together, so that neither its journal nor the memory
  // grows with the file.
  static constexpr std::int64_t kRowsPerTransaction = 100000;

  GdalOutput() = default;
  GdalOutput(const GdalOutput&) = delete;
  GdalOutput& operator=(const GdalOutput&) = delete;
  ~GdalOutput();  // closes a dataset not finished; the pending output removes it

  // Creates the dataset of `format` at the temporary name of `pending` (reserved). Empty,
  // or one line naming the output.
  std::string Create(Format format, const PendingOutput& pending);
  GDALDatasetH Dataset() const { return ds_; }
  // A layer; nullptr when it cannot be made (Failure() then says why).
  OGRLayerH CreateLayer(const char* name, OGRSpatialReferenceH srs, OGRwkbGeometryType type,
                        char** options = nullptr);
  // Starts the first transaction where the format has them. Empty, or one line.
  std::string Begin();
  // Writes the feature (the caller keeps it). Empty, or one line naming the output.
  std::string Write(OGRLayerH layer, OGRFeatureH feature);
  // Commits the transaction under way (its rows are then in the file). Empty, or one line.
  std::string Commit();
  // Commits, closes and checks that every byte reached the file. Empty, or one line.
  std::string Finish();
  // "cannot write OUTPUT: WHY": why from the failed write (a full disk), else GDAL's last
  // error, else `what`.
  std::string Failure(const std::string& what = {}) const;

 private:
  GDALDatasetH ds_ = nullptr;
  std::string temp_, target_;
  bool transactions_ = false;
  bool inTransaction_ = false;
  std::int64_t rows_ = 0;
};

}  // namespace surveyexport
