#include "ms/text/msText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace horalog {
namespace {

TEST(TextRules, TextUpToZeroNeverReadsBeyondItsSize) {
  // The bytes sit at the very end of an allocation of their own size, so
  // that a read beyond them would be caught by a checking allocator.
  const char text[] = {'a', 'b', 'c'};
  std::vector<char> exact(text, text + 3);
  EXPECT_EQ(TextUpToZero(exact.data(), exact.size()), "abc");
  EXPECT_EQ(TextUpToZero(exact.data(), 2), "ab");
  const char withZero[] = {'a', '\0', 'j', 'u', 'n', 'k'};
  EXPECT_EQ(TextUpToZero(withZero, sizeof(withZero)), "a");
  EXPECT_EQ(TextUpToZero(withZero, 0), "");
  EXPECT_EQ(TextUpToZero(nullptr, 5), "");
}

}  // namespace
}  // namespace horalog
