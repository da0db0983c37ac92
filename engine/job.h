// A Duplicate job: the six things the user enters, as the dialog, the settings and the command line share them.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

struct Job {
  std::string blockText;
  std::string outputFile;  // empty: the clipboard
  int append = 0;          // 0 or 1
  int repeatCount = 1;     // 1 to 2147483647 once validated
  std::vector<std::string> tags;
  std::vector<std::string> values;  // value texts, at the same index as their tags

  bool operator==(const Job&) const = default;
};

}  // namespace kelvane
