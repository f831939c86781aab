#include "data/SettingsRules.h"

#include <gtest/gtest.h>

#include <optional>

#include "data/Errors.h"

namespace horalog {
namespace {

std::optional<int32_t> Convert(std::string_view text) {
  int32_t value = 12345;
  if (!TextToInt(text, value)) {
    EXPECT_EQ(value, 12345) << "a failed conversion changed the value for \"" << text << "\"";
    return std::nullopt;
  }
  return value;
}

TEST(SettingsRulesTextToInt, AcceptedForms) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},        {"7", 7},           {"  42", 42},       {"+5", 5},
      {"-5", -5},      {"007", 7},         {"$1E", 30},        {"$1e", 30},
      {"x1E", 30},     {"X1e", 30},        {"0x1E", 30},       {"0X1e", 30},
      {"-$1E", -30},   {"+0x10", 16},      {" -x10", -16},     {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},          {"$7FFFFFFF", INT32_MAX},
      {"-$80000000", INT32_MIN},           {"00000000000000000001", 1},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Convert(text), std::optional<int32_t>(expected)) << "\"" << text << "\"";
  }
}

TEST(SettingsRulesTextToInt, RefusedForms) {
  for (const char* text :
       {"", " ", "   ", "+", "-", "$", "x", "0x", "-$", "abc", "5 min", "5 ", " 5 ", "- 5",
        "+-5", "--5", "1.5", "1e3", "$G", "0x1G", "12a", "\t5", "5\n", "$$1", "0$1",
        "2147483648", "-2147483649", "99999999999999999999", "$80000000", "$FFFFFFFF",
        "-$80000001", "0x100000000"}) {
    EXPECT_EQ(Convert(text), std::nullopt) << "\"" << text << "\"";
  }
  // A text with a zero byte inside does not end at it.
  EXPECT_EQ(Convert(std::string_view("5\0" "1", 3)), std::nullopt);
}

TEST(SettingsRulesTextToInt, DefaultWhenTheTextDoesNotConvert) {
  EXPECT_EQ(TextToIntDef("17", 10), 17);
  EXPECT_EQ(TextToIntDef("seventeen", 10), 10);
  EXPECT_EQ(TextToIntDef("", -3), -3);
}

TEST(SettingsRulesNumber, IntervalTexts) {
  EXPECT_EQ(SettingsNumber("0x1E", 10), 30);
  EXPECT_EQ(SettingsNumber("0X1e", 10), 30);
  EXPECT_EQ(SettingsNumber("$1E", 10), 30);
  EXPECT_EQ(SettingsNumber("25", 10), 25);
  EXPECT_EQ(SettingsNumber("0", 10), 0);
  EXPECT_EQ(SettingsNumber("abc", 10), 10);
  EXPECT_EQ(SettingsNumber("5 min", 10), 10);
  EXPECT_EQ(SettingsNumber("", 10), 10);
  EXPECT_EQ(SettingsNumber("0x", 10), 10);
  EXPECT_EQ(SettingsNumber("0x$1", 10), 10);  // becomes "$$1"
  EXPECT_EQ(SettingsNumber("2147483648", 10), 10);
}

TEST(SettingsRulesMinutes, SpanOfMinutes) {
  EXPECT_EQ(MinutesToTime(0), 0.0);
  EXPECT_DOUBLE_EQ(MinutesToTime(1), OneMinute);
  EXPECT_DOUBLE_EQ(MinutesToTime(10), 10.0 / 1440.0);
  EXPECT_DOUBLE_EQ(MinutesToTime(59), 59.0 / 1440.0);
  // Only the low 16 bits count: 65536 is 0, 65595 is 59.
  EXPECT_EQ(MinutesToTime(65536), 0.0);
  EXPECT_DOUBLE_EQ(MinutesToTime(65595), 59.0 / 1440.0);
  EXPECT_DOUBLE_EQ(MinutesToTime(-65535), OneMinute);
}

TEST(SettingsRulesMinutes, SixtyOrMoreInTheLow16BitsFails) {
  for (int32_t minutes : {60, 61, 1440, 65535, -1, -65476, 2147483647, INT32_MIN + 60}) {
    try {
      MinutesToTime(minutes);
      ADD_FAILURE() << minutes;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to time encode") << minutes;
    }
  }
  EXPECT_NO_THROW(MinutesToTime(-65477));  // low 16 bits 59
}

TEST(SettingsRulesPaths, SettingsFileBesideTheExecutable) {
  EXPECT_EQ(SettingsFilePath("C:\\Tools\\Horalog.exe"), "C:\\Tools\\Horalog.ini");
  EXPECT_EQ(SettingsFilePath("C:\\Tools\\Horalog.v2.exe"), "C:\\Tools\\Horalog.v2.ini");
  EXPECT_EQ(SettingsFilePath("C:\\Tools\\Horalog"), "C:\\Tools\\Horalog.ini");
  // A dot in a directory name is no extension of the file.
  EXPECT_EQ(SettingsFilePath("C:\\My.Tools\\Horalog"), "C:\\My.Tools\\Horalog.ini");
  EXPECT_EQ(SettingsFilePath("/opt/my.tools/horalog"), "/opt/my.tools/horalog.ini");
  EXPECT_EQ(SettingsFilePath("C:/My.Tools\\bin/Horalog.exe"), "C:/My.Tools\\bin/Horalog.ini");
  EXPECT_EQ(SettingsFilePath("Horalog.exe"), "Horalog.ini");
  EXPECT_EQ(SettingsFilePath("C:\\Tools\\Horalog."), "C:\\Tools\\Horalog.ini");
}

TEST(SettingsRulesPaths, DirectoryWithItsTrailingSeparator) {
  EXPECT_EQ(DirectoryOf("C:\\Tools\\Horalog.exe"), "C:\\Tools\\");
  EXPECT_EQ(DirectoryOf("C:\\Horalog.exe"), "C:\\");
  EXPECT_EQ(DirectoryOf("/opt/tools/horalog"), "/opt/tools/");
  EXPECT_EQ(DirectoryOf("C:/a\\b/Horalog.exe"), "C:/a\\b/");
  EXPECT_EQ(DirectoryOf("Horalog.exe"), "");
  EXPECT_EQ(DirectoryOf("C:\\Tools\\"), "C:\\Tools\\");
}

}  // namespace
}  // namespace horalog
