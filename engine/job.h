// A Duplicate job: the six things the user enters, as the dialog, the settings and the command line share them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value_list.h"

namespace kelvane {

struct Job {
  std::string blockText;
  std::string outputFile;  // empty: the clipboard
  int append = 0;          // 0 or 1
  int repeatCount = 1;     // 1 to 2147483647 once validated
  std::vector<std::string> tags;
  std::vector<std::string> values;  // value texts, at the same index as their tags
  // Value texts read from list files and kept there rather than in values: where valueLists[j]
  // is set, it holds variable j's value text, and values[j] is left empty.
  std::vector<std::shared_ptr<const ValueList>> valueLists = {};

  bool operator==(const Job&) const = default;
};

// Variable j's value text, wherever it is kept.
inline std::string_view ValueText(const Job& job, size_t j) {
  if (j < job.valueLists.size() && job.valueLists[j] != nullptr) {
    return job.valueLists[j]->text();
  }
  return job.values[j];
}

// What one pass over variable j's value text finds; a list file's was found when it was opened.
inline TextScan ScanValueText(const Job& job, size_t j) {
  if (j < job.valueLists.size() && job.valueLists[j] != nullptr) {
    return job.valueLists[j]->scan();
  }
  return ScanText(job.values[j]);
}

}  // namespace kelvane
