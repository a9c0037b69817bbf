// Names each row of a table-driven test by its `name` field, so a failure
// says which case broke.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace vellumar::testing {

struct CaseName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace vellumar::testing
