#pragma once
// Small SEC files for the section plotter's tests, written with the suite's test writer.
#include <string>
#include <vector>

#include "survey_writer.h"

namespace sectest {

class SecBuilder {
 public:
  SecBuilder& Header(const std::string& name, double chainage = 0) {
    records_.push_back({name, testsupport::TextNumber(chainage)});
    return *this;
  }
  SecBuilder& Point(double distance, double height) {
    records_.push_back({testsupport::TextNumber(distance), testsupport::TextNumber(height)});
    return *this;
  }
  SecBuilder& Raw(const std::string& field1, const std::string& field2) {
    records_.push_back({field1, field2});
    return *this;
  }
  SecBuilder& Empty(int count = 1) {
    for (int i = 0; i < count; ++i)
      records_.push_back({testsupport::TextNumber(0), testsupport::TextNumber(0)});
    return *this;
  }
  SecBuilder& Terminator() {
    records_.push_back({"     999", testsupport::TextNumber(0)});
    return *this;
  }
  // A whole section: header, points at offsets -10, 0, 10 ... with the given heights, and
  // its terminator.
  SecBuilder& Section(const std::string& name, const std::vector<double>& heights) {
    Header(name);
    double d = -10;
    for (double h : heights) {
      Point(d, h);
      d += 10;
    }
    return Terminator();
  }
  int Count() const { return static_cast<int>(records_.size()); }
  bool Write(const std::string& path) const {
    return testsupport::WriteSurveyFile(path, records_, 16);
  }

 private:
  std::vector<testsupport::Record> records_;
};

}  // namespace sectest
