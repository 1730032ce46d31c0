#pragma once
// How the plan's colours and dash styles, resolved by the plotter's drawing pass, are told
// to the programs that read our GIS outputs (no Qt, no GDAL): the colour as "#rrggbb"
// (every format's `colour` field), the dash style by the name QGIS gives a pen style (the
// `dash` field), KML's shared styles (one a colour and dash), and the QGIS style (QML) a
// GeoPackage layer opens with. Also the
// field names a GIS user can type, and the one reading of a packed height's decimals.
#include <string>

#include "planplot/plan_canvas.h"
#include "toolkit/survey_files.h"

namespace surveyexport {

// "#rrggbb" of a colour 0x00RRGGBB, in lower case: "#ffff00".
std::string HexColour(planplot::Rgb colour);
// The pen style by QGIS's name for it: "solid", "dash", "dot", "dash dot", "dash dot dot".
const char* DashName(planplot::PenStyle style);

// Line width in screen pixels in KML and GeoJSON (plandra draws 1 pixel on black; on a map
// that is too thin to see the colour).
constexpr int kLineWidthPixels = 2;
// The icon a KML point is drawn with: a white dot, tinted by the IconStyle's colour.
inline constexpr const char* kKmlPointIcon =
    "http://maps.google.com/mapfiles/kml/shapes/placemark_circle.png";

// A colour as KML writes it, alpha, blue, green, red: "ff00ffff" for yellow (opaque).
std::string KmlColour(planplot::Rgb colour);
// The KML style of a line in a colour and dash ("line_ffff00_dash_dot") or of a point in a
// colour ("point_ffff00"): its id, and its <Style> element, shared by every placemark of
// that colour and dash through <styleUrl>. A line's is its LineStyle (colour, width); KML
// draws no dashes, the `dash` field keeps them. A point's is its IconStyle (a small dot in
// its colour, centred on the point) and a LabelStyle in white for its number, which reads
// on Google Earth's imagery.
std::string KmlStyleId(bool line, planplot::Rgb colour, planplot::PenStyle style);
std::string KmlStyle(bool line, planplot::Rgb colour, planplot::PenStyle style);

// The QGIS style (QML) of a GeoPackage layer of the plan: lines drawn in their `colour`
// field's colour with their `dash` field's pen style, points as dots in their colour with
// a thin dark rim (a yellow dot alone is lost on a white map).
std::string LayerQml(bool lines);

// A column heading as a GIS field name: lower case, every run of other characters than
// letters and digits as one "_", none at either end ("STN. NAME" -> "stn_name",
// "Item1/(N)" -> "item1_n", "PT." -> "pt").
std::string GisFieldName(const std::string& heading);

// The height of a packed height field to the decimals the stored value holds. The
// packing leaves the height as |s| - code * 10000, which in binary carries the rounding of
// the larger stored value: a stored 10012.921 decodes as 12.921000000000276. Read from the
// shortest decimal text of |s| it is 12.921, the height that was packed, wherever that
// height packs back to the very same stored value (else the decoded height is kept). The
// stored value is whole again from the decoded code and height, so one reading serves every
// output that has them.
double HeightAsStored(const toolkit::PackedHeight& decoded);

}  // namespace surveyexport
