// GoogleTest tables whose cases carry a name column: the name in test names and in messages.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvane::test {

// For INSTANTIATE_TEST_SUITE_P's last argument.
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& c) {
  return c.param.name;
}

// Found by GoogleTest through `using test::PrintTo;` in the namespace of the cases.
template <typename Case>
requires requires(const Case& c) {
  c.name;
}
void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

}  // namespace kelvane::test
