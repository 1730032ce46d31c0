#pragma once
// Sections to DXF (no Qt): every section of the range as polylines, offsets in metres and
// heights at the vertical scale (H/V units a metre) over a datum line with its level, one
// above another, each under its title; one layer a file in the file's colour and line type.
#include <string>
#include <vector>

#include "export/export_common.h"

namespace surveyexport {

struct SectionsOptions;
struct SectionsResult;
class SectionRun;

std::string DrawSectionsDxf(const SectionsOptions& options, SectionRun& run,
                            const std::string& last, const Progress& progress,
                            SectionsResult* result);

// The DXF layer names of the files: the file's base name without its extension, in capital
// letters, other characters than letters, digits, "-" and "_" as "_"; a name already taken
// gets "_2", "_3", ...
std::vector<std::string> LayerNames(const std::vector<std::string>& files);

}  // namespace surveyexport
