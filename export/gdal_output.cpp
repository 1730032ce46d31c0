// GDAL datasets written as pending outputs, every step checked.
#include "export/gdal_output.h"

#include <cpl_error.h>

#include "export/checked_file.h"

namespace surveyexport {

GdalOutput::~GdalOutput() {
  if (ds_) {
    GdalErrorCapture quiet;  // a dataset given up on: its closing errors are not news
    GDALClose(ds_);
  }
  if (!temp_.empty()) ForgetCheckedGdalFile(temp_);
}

std::string GdalOutput::Create(Format format, const PendingOutput& pending) {
  temp_ = pending.TempPath();
  target_ = pending.Target();
  ForgetCheckedGdalFile(temp_);
  RegisterGdal();
  const char* name = GdalDriverName(format);
  GDALDriverH driver = name ? GDALGetDriverByName(name) : nullptr;
  if (!driver) return Shown(target_) + ": this build of GDAL cannot write " + (name ? name : "it");
  CPLErrorReset();
  ds_ = GDALCreate(driver, CheckedGdalName(temp_).c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!ds_) return Failure();
  transactions_ = format == Format::Gpkg;
  return {};
}

OGRLayerH GdalOutput::CreateLayer(const char* name, OGRSpatialReferenceH srs,
                                  OGRwkbGeometryType type, char** options) {
  return GDALDatasetCreateLayer(ds_, name, srs, type, options);
}

std::string GdalOutput::Begin() {
  if (!transactions_ || inTransaction_) return {};
  if (GDALDatasetStartTransaction(ds_, FALSE) != OGRERR_NONE) return Failure();
  inTransaction_ = true;
  return {};
}

std::string GdalOutput::Write(OGRLayerH layer, OGRFeatureH feature) {
  if (OGR_L_CreateFeature(layer, feature) != OGRERR_NONE) return Failure("a feature was refused");
  // A driver that does not look at its writes goes on: the first failed write stops us.
  if (CheckedGdalError(temp_) != 0) return Failure();
  if (inTransaction_ && ++rows_ >= kRowsPerTransaction) {
    if (std::string fault = Commit(); !fault.empty()) return fault;
    if (std::string fault = Begin(); !fault.empty()) return fault;
  }
  return {};
}

std::string GdalOutput::Commit() {
  if (!inTransaction_) return {};
  inTransaction_ = false;
  rows_ = 0;
  if (GDALDatasetCommitTransaction(ds_) != OGRERR_NONE) return Failure();
  return CheckedGdalError(temp_) != 0 ? Failure() : std::string();
}

std::string GdalOutput::Finish() {
  if (!ds_) return Failure();
  if (std::string fault = Commit(); !fault.empty()) return fault;
  // GDALClose returns nothing: a failure of its last writes (XLSX writes the whole file
  // then) shows only in GDAL's error state and in our checked writes.
  CPLErrorReset();
  GDALDatasetH ds = ds_;
  ds_ = nullptr;
  GDALClose(ds);
  if (CPLGetLastErrorType() >= CE_Failure || CheckedGdalError(temp_) != 0) return Failure();
  return {};
}

std::string GdalOutput::Failure(const std::string& what) const {
  if (const int error = CheckedGdalError(temp_); error != 0) return CannotWrite(target_, error);
  std::string why = CPLGetLastErrorType() >= CE_Failure ? CPLGetLastErrorMsg() : "";
  for (char& c : why) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  // GDAL's messages name the temporary file; the user knows the output's name.
  const std::string inside = CheckedGdalName(temp_);
  for (const std::string& name : {inside, temp_}) {
    for (std::string::size_type at; (at = why.find(name)) != std::string::npos;)
      why.replace(at, name.size(), Shown(target_));
  }
  if (why.empty()) why = what;
  std::string line = "cannot write " + Shown(target_);
  if (!why.empty()) line += ": " + why;
  return line;
}

}  // namespace surveyexport
