// The keys of [Presence] as read from their texts.
#include "recorder/PresenceSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace horalog {
namespace {

TPresenceSettings Parse(const std::map<std::string, std::string>& keys,
                        std::vector<TPresenceSettingsProblem>& problems) {
  return ParsePresenceSettings(
      [&keys](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
      },
      problems);
}

// Every key at its limits is taken; a value beyond them, or in another form,
// is named with its value and left out while the other keys still count.
TEST(PresenceSettings, KeysAreTakenWithinTheirLimitsAndNamedBeyondThem) {
  std::vector<TPresenceSettingsProblem> problems;
  EXPECT_EQ(Parse({}, problems), TPresenceSettings{});
  EXPECT_EQ(Parse({{"Calls", " "}, {"AskAfter", ""}}, problems), TPresenceSettings{});
  EXPECT_TRUE(problems.empty());

  EXPECT_EQ(TPresenceSettings{}.callLimitSeconds, 4 * 3600);

  const TPresenceSettings low = Parse({{"Calls", "1"},
                                       {"ConfirmStart", "1"},
                                       {"PointerSlack", " 1 "},
                                       {"AskAfter", "0:05"},
                                       {"CallLimit", "0:30"}},
                                      problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(low, (TPresenceSettings{true, 1, 1, 5 * 60, 30 * 60}));
  const TPresenceSettings high = Parse({{"Calls", "0"},
                                        {"ConfirmStart", "60"},
                                        {"PointerSlack", "20"},
                                        {"AskAfter", "12:00"},
                                        {"CallLimit", "12:00"}},
                                       problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(high, (TPresenceSettings{false, 60, 20, 12 * 3600, 12 * 3600}));

  for (const auto& [key, value] :
       std::vector<std::pair<std::string, std::string>>{{"Calls", "2"},
                                                        {"Calls", "yes"},
                                                        {"ConfirmStart", "0"},
                                                        {"ConfirmStart", "61"},
                                                        {"ConfirmStart", "5s"},
                                                        {"PointerSlack", "21"},
                                                        {"PointerSlack", "-3"},
                                                        {"AskAfter", "0:04"},
                                                        {"AskAfter", "12:01"},
                                                        {"AskAfter", "0:5"},
                                                        {"AskAfter", "1:60"},
                                                        {"AskAfter", "30"},
                                                        {"CallLimit", "0:29"},
                                                        {"CallLimit", "12:01"},
                                                        {"CallLimit", "4"}}) {
    problems.clear();
    // (A map keeps the first of two equal keys: the bad value of PointerSlack.)
    const TPresenceSettings settings = Parse({{key, value}, {"PointerSlack", "3"}}, problems);
    ASSERT_EQ(problems.size(), 1u) << key << "=" << value;
    EXPECT_EQ(problems[0].key, key);
    EXPECT_EQ(problems[0].value, value);
    TPresenceSettings expected;
    expected.pointerSlack = key == "PointerSlack" ? 0 : 3;
    EXPECT_EQ(settings, expected) << key << "=" << value;
  }
  EXPECT_EQ(PresenceSettingsProblemText({"ConfirmStart", "90"}, "C:\\Horalog\\Horalog.ini"),
            "Cannot read ConfirmStart=90 in [Presence] of C:\\Horalog\\Horalog.ini; it is ignored.");
}

}  // namespace
}  // namespace horalog
