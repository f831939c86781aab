#include "data/SettingsRules.h"

#include <gtest/gtest.h>

#include <optional>

#include "data/Errors.h"
#include "data/SettingsText.h"

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

// Latin-1 as the stand-in for the system's 8-bit code page.
std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// As Notepad saves a file: UTF-16 after its mark (either order), UTF-8 with or
// without its mark, and else the 8-bit code page; the same folder name from each.
TEST(SettingsText, DecodedAsTheEditorSavedIt) {
  const std::string folder =
      "Folder=D:\\\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 \xCE\xA9 \xF0\x9F\x93\x81";
  EXPECT_EQ(SettingsTextUtf8(
                Utf16Le(u"Folder=D:\\\u041F\u0430\u043F\u043A\u0430 \u03A9 \U0001F4C1"),
                Latin1ToUtf8),
            folder);
  EXPECT_EQ(SettingsTextUtf8(std::string("\xFE\xFF\x00O\x04\x1F", 6), Latin1ToUtf8),
            "O\xD0\x9F");
  EXPECT_EQ(SettingsTextUtf8("\xEF\xBB\xBF" + folder, Latin1ToUtf8), folder);
  EXPECT_EQ(SettingsTextUtf8(folder, Latin1ToUtf8), folder);
  // No UTF-8: the code page's letters, not bytes taken as UTF-8.
  EXPECT_EQ(SettingsTextUtf8("Name=B\xFCro", Latin1ToUtf8), "Name=B\xC3\xBCro");
  EXPECT_EQ(SettingsTextUtf8("\xC0\xAF", Latin1ToUtf8), "\xC3\x80\xC2\xAF") << "overlong";
  EXPECT_EQ(SettingsTextUtf8("\xED\xA0\x80", Latin1ToUtf8), "\xC3\xAD\xC2\xA0\xC2\x80")
      << "a surrogate in UTF-8";
  // Units that cannot be read: a lone surrogate, a cut last unit.
  EXPECT_EQ(SettingsTextUtf8(std::string("\xFF\xFE\x00\xD8" "A\x00" "B", 7), Latin1ToUtf8),
            "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
  EXPECT_EQ(SettingsTextUtf8("", Latin1ToUtf8), "");
}

// One section's keys as the profile functions find them.
TEST(SettingsText, SectionsAndKeysAsTheProfileFunctionsReadThem) {
  const std::string text =
      "[Options]\r\nInterval=5\r\n"
      "[ hours ]\r\n"
      "  Target = 8:00 \r\n"
      "; Target=9:00\r\n"
      "TARGET=7:00\r\n"
      "Monday 2026-01-05=\"6:00\"\n"
      "no value here\n"
      "Friday='4:00\r\n"
      "[Presence]\r\nAskAfter=0:30\r\n"
      "[Hours]\r\nDayStart=4:00";
  const TSettingsEntries hours = SettingsSection(text, "Hours");
  const TSettingsEntries expected = {
      {"Target", "8:00"}, {"Monday 2026-01-05", "6:00"}, {"Friday", "'4:00"}, {"DayStart", "4:00"}};
  EXPECT_EQ(hours, expected);
  EXPECT_EQ(SettingsValue(hours, "target"), "8:00");
  EXPECT_EQ(SettingsValue(hours, "Opening"), "");
  EXPECT_EQ(SettingsKeyNames(hours),
            (std::vector<std::string>{"Target", "Monday 2026-01-05", "Friday", "DayStart"}));
  EXPECT_TRUE(SettingsSection(text, "Machines").empty());
  EXPECT_EQ(SettingsValue(SettingsSection(text, "presence"), "AskAfter"), "0:30");
}

// A name the environment lacks is named as written; a folder's own percent
// signs are no name.
TEST(SettingsText, AnUnexpandedNameIsFound) {
  auto defined = [](std::string_view name) { return name == "USERPROFILE" || name == "OneDrive"; };
  auto none = [](std::string_view) { return false; };
  EXPECT_EQ(UnexpandedVariable("%OneDrive%\\Horalog", none), "%OneDrive%");
  EXPECT_EQ(UnexpandedVariable("%OneDrive%\\Horalog", defined), "");
  EXPECT_EQ(UnexpandedVariable("%USERPROFILE%\\%OneDirve%\\Horalog", defined), "%OneDirve%");
  // The closing sign of a name not defined begins the next.
  EXPECT_EQ(UnexpandedVariable("%nope%OneDrive%", defined), "%nope%");
  EXPECT_EQ(UnexpandedVariable("x%OneDrive%nope%", defined), "");
  for (const char* folder :
       {"D:\\100% sure\\Horalog", "D:\\50%\\x%y", "%%\\Horalog", "C:\\Horalog"})
    EXPECT_EQ(UnexpandedVariable(folder, none), "") << folder;
}

}  // namespace
}  // namespace horalog
