// Names each row of a table-driven test by its `name` field, so a failure
// says which case broke.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vellumar::testing {

struct CaseName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace vellumar::testing

// Prints a row as its name, so test listings stay short and readable. Use
// next to the row type, in its namespace.
#define VELLUMAR_PRINT_AS_CASE_NAME(Row) \
  [[maybe_unused]] inline void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
