#pragma once
// Writes survey data files (no Qt): fixed-length records of 8-byte fields, doubles
// little-endian, text fields padded with blanks. The sample-file writer and the tests'
// fixtures both write through it.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace surveywriter {

// One 8-byte field: a double (binary) or a text of up to 8 characters (blank padded;
// a text of exactly 8 bytes may hold anything, zero bytes included).
using Field = std::variant<double, std::string>;
using Record = std::vector<Field>;

// The bytes of a file of these records, each padded with zero bytes to recordLength.
// False when a record is longer than that.
bool SurveyFileBytes(const std::vector<Record>& records, int recordLength, std::string* bytes);
// Writes the records as SurveyFileBytes lays them out. Returns false on failure.
bool WriteSurveyFile(const std::string& path, const std::vector<Record>& records, int recordLength);
// Raw bytes, for truncated and garbage files.
bool WriteBytes(const std::string& path, const std::string& bytes);
// Text number of 8 characters as a writer of the suite would store it ("  12.345").
std::string TextNumber(double value, int decimals = 3);
// NEH packed height field value for height h and point code.
double PackHeight(double height, int code);

}  // namespace surveywriter
