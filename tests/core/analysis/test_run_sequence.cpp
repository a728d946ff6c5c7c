#include <gtest/gtest.h>

#include "analysis/run.h"
#include "errors.h"

namespace genosieve {
namespace {

TEST(ConvertIterations, RefusesNegativeCounts) {
  EXPECT_EQ(ConvertIterations("1000"), 1000);
  EXPECT_THROW(ConvertIterations("-1"), RunError);
}

}  // namespace
}  // namespace genosieve
