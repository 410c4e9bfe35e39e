#pragma once
// Names value-parameterised tests after their cases, so that gtest and ctest list
// "Ranges/TransportRangeTest.Plays…/ExactlyTheRing" rather than the bytes of the case.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace velmora::test {

// The case's `name` as gtest takes it: letters, digits and '_' (anything else becomes '_').
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    std::string name = info.param.name;
    for (char& c : name) {
      if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
    }
    return name;
  }
};

}  // namespace velmora::test
