// Colours, dash styles and field names of the plan as the programs that read it expect them.
#include "export/output_styles.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace surveyexport {

using planplot::PenStyle;
using planplot::Rgb;

std::string HexColour(Rgb colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(colour & 0xFFFFFF));
  return text;
}

const char* DashName(PenStyle style) {
  switch (style) {
    case PenStyle::Dash:
      return "dash";
    case PenStyle::Dot:
      return "dot";
    case PenStyle::DashDot:
      return "dash dot";
    case PenStyle::DashDotDot:
      return "dash dot dot";
    default:
      return "solid";
  }
}

std::string KmlStyleId(bool line, Rgb colour, PenStyle style) {
  const std::string hex = HexColour(colour).substr(1);
  if (!line) return "point_" + hex;
  std::string dash = DashName(style);
  for (char& c : dash) {
    if (c == ' ') c = '_';
  }
  return "line_" + hex + "_" + dash;
}

std::string KmlColour(Rgb colour) {
  char text[9];
  std::snprintf(text, sizeof text, "ff%02x%02x%02x", static_cast<unsigned>(colour & 0xFF),
                static_cast<unsigned>((colour >> 8) & 0xFF),
                static_cast<unsigned>((colour >> 16) & 0xFF));
  return text;
}

std::string KmlStyle(bool line, Rgb colour, PenStyle style) {
  const std::string head = "<Style id=\"" + KmlStyleId(line, colour, style) + "\">";
  if (line)
    return head + "<LineStyle><color>" + KmlColour(colour) + "</color><width>" +
           std::to_string(kLineWidthPixels) + "</width></LineStyle></Style>";
  // Google Earth's pin at full size hides a survey's points under each other: a dot of half
  // its size with its middle on the point, and the number in a slightly smaller label.
  return head + "<IconStyle><color>" + KmlColour(colour) +
         "</color><scale>0.5</scale><Icon><href>" + kKmlPointIcon +
         "</href></Icon><hotSpot x=\"0.5\" y=\"0.5\" xunits=\"fraction\" "
         "yunits=\"fraction\"/></IconStyle><LabelStyle><color>ffffffff</color>"
         "<scale>0.8</scale></LabelStyle></Style>";
}

namespace {

// A data-defined property of a symbol layer taken from a field.
std::string FieldProperty(const char* property, const char* field) {
  return std::string("<Option type=\"Map\" name=\"") + property +
         "\"><Option type=\"bool\" name=\"active\" value=\"true\"/>"
         "<Option type=\"QString\" name=\"field\" value=\"" +
         field + "\"/><Option type=\"int\" name=\"type\" value=\"2\"/></Option>";
}

std::string Properties(const std::string& inner) {
  return "<data_defined_properties><Option type=\"Map\">"
         "<Option type=\"QString\" name=\"name\" value=\"\"/>" +
         (inner.empty() ? std::string("<Option name=\"properties\"/>")
                        : "<Option type=\"Map\" name=\"properties\">" + inner + "</Option>") +
         "<Option type=\"QString\" name=\"type\" value=\"collection\"/></Option>"
         "</data_defined_properties>";
}

std::string Value(const char* name, const char* value) {
  return std::string("<Option type=\"QString\" name=\"") + name + "\" value=\"" + value + "\"/>";
}

}  // namespace

std::string LayerQml(bool lines) {
  std::string layer;
  if (lines) {
    layer =
        "<layer class=\"SimpleLine\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option type=\"Map\">" +
        Value("line_color", "0,0,0,255") + Value("line_style", "solid") +
        Value("line_width", "0.5") + Value("line_width_unit", "MM") + Value("capstyle", "flat") +
        Value("joinstyle", "round") + Value("use_custom_dash", "0") + "</Option>" +
        Properties(FieldProperty("outlineColor", "colour") +
                   FieldProperty("outlineStyle", "dash")) +
        "</layer>";
  } else {
    layer =
        "<layer class=\"SimpleMarker\" enabled=\"1\" locked=\"0\" pass=\"0\"><Option "
        "type=\"Map\">" +
        Value("name", "circle") + Value("color", "255,255,0,255") +
        Value("outline_style", "solid") + Value("outline_color", "60,60,60,255") +
        Value("outline_width", "0.1") + Value("outline_width_unit", "MM") + Value("size", "1.2") +
        Value("size_unit", "MM") + "</Option>" + Properties(FieldProperty("fillColor", "colour")) +
        "</layer>";
  }
  return std::string(
             "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
             "<qgis version=\"3.22.0\" styleCategories=\"Symbology\">"
             "<renderer-v2 type=\"singleSymbol\" symbollevels=\"0\" enableorderby=\"0\" "
             "forceraster=\"0\"><symbols><symbol type=\"") +
         (lines ? "line" : "marker") +
         "\" name=\"0\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">" + Properties("") +
         layer + "</symbol></symbols><rotation/><sizescale/></renderer-v2></qgis>\n";
}

std::string GisFieldName(const std::string& heading) {
  std::string name;
  bool gap = false;
  for (char ch : heading) {
    const auto c = static_cast<unsigned char>(ch);
    const bool letter = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    const bool capital = c >= 'A' && c <= 'Z';
    if (!letter && !capital) {
      gap = true;
      continue;
    }
    if (gap && !name.empty()) name += '_';
    gap = false;
    name += capital ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
  }
  return name.empty() ? std::string("field") : name;
}

double HeightAsStored(const toolkit::PackedHeight& decoded) {
  const double h = decoded.height;
  if (!std::isfinite(h) || !std::isfinite(decoded.code) || decoded.code < 0) return h;
  // The stored value again: the decoding split it exactly.
  const double a = decoded.code * 10000 + std::fabs(h);
  if (!(a < 9.0e15)) return h;
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::fixed);
  if (res.ec != std::errc()) return h;
  const std::string text(buf, res.ptr);
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
  std::uint64_t wholeValue = 0;
  if (std::from_chars(whole.data(), whole.data() + whole.size(), wholeValue).ec != std::errc())
    return h;
  const auto codeValue = static_cast<std::uint64_t>(decoded.code);
  if (wholeValue < codeValue * 10000) return h;
  const std::string heightText =
      std::to_string(wholeValue - codeValue * 10000) + (fraction.empty() ? "" : "." + fraction);
  double shortest = 0;
  if (std::from_chars(heightText.data(), heightText.data() + heightText.size(), shortest).ec !=
      std::errc())
    return h;
  if (static_cast<double>(codeValue * 10000) + shortest != a) return h;
  return std::signbit(h) ? -shortest : shortest;
}

}  // namespace surveyexport
