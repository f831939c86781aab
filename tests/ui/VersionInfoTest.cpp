// The version resource of the program and of a file without one.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "UiTestSupport.h"
#include "app/HoralogMain.h"
#include "ms/msvinfo.h"
#include "version.h"

namespace horalog {
namespace {

// Horalog.exe beside this test program.
std::string ProgramBeside() {
  std::string path = ModulePath();
  return path.substr(0, path.find_last_of('\\') + 1) + "Horalog.exe";
}

void ExpectAllEmpty(const TmsVersionInfo& v) {
  for (const std::string* field :
       {&v.CompanyName, &v.FileDescription, &v.FileVersion, &v.InternalName, &v.LegalCopyright,
        &v.LegalTrademarks, &v.OriginalFilename, &v.ProductName, &v.ProductVersion, &v.Comments})
    EXPECT_EQ(*field, "");
}

TEST(VersionInfo, TranslationKeyIsEightUpperCaseHexDigits) {
  EXPECT_EQ(TranslationKey(0x1009, 0x04E4), "100904E4");
  EXPECT_EQ(TranslationKey(0x0409, 1252), "040904E4");
  EXPECT_EQ(TranslationKey(0xabcd, 0x000f), "ABCD000F");
  EXPECT_EQ(TranslationKey(0, 0), "00000000");
}

TEST(VersionInfo, ReadsAllTenValuesOfTheProgram) {
  TmsVersionInfo v;
  v.SetFileName(ProgramBeside());
  EXPECT_EQ(v.FileName, ProgramBeside());
  EXPECT_EQ(v.CompanyName, HORALOG_COMPANY_NAME);
  EXPECT_EQ(v.FileDescription, HORALOG_FILE_DESCRIPTION);
  EXPECT_EQ(v.FileVersion, HORALOG_VERSION_TEXT);
  EXPECT_EQ(v.InternalName, HORALOG_INTERNAL_NAME);
  EXPECT_EQ(v.LegalCopyright, HORALOG_COPYRIGHT);
  EXPECT_EQ(v.LegalTrademarks, HORALOG_TRADEMARKS);
  EXPECT_EQ(v.OriginalFilename, HORALOG_ORIGINAL_FILENAME);
  EXPECT_EQ(v.ProductName, HORALOG_PRODUCT_NAME);
  EXPECT_EQ(v.ProductVersion, HORALOG_VERSION_TEXT);
  EXPECT_EQ(v.Comments, HORALOG_COMMENTS);
}

TEST(VersionInfo, TheSameNameInOtherCaseReadsNothingAnotherClearsAll) {
  TmsVersionInfo v;
  v.SetFileName("");
  EXPECT_EQ(v.FileName, "");
  ExpectAllEmpty(v);

  std::string path = ProgramBeside();
  v.SetFileName(path);
  v.ProductName = "kept";
  std::string other = path;
  for (char& c : other)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  v.SetFileName(other);
  EXPECT_EQ(v.ProductName, "kept");
  EXPECT_EQ(v.FileName, path);

  // A file without a version resource, and one that does not exist.
  const test::ScratchDir scratch;
  const std::string plain = scratch.Path("no-version.txt");
  test::WriteText(plain, "no version resource here");
  v.SetFileName(plain);
  EXPECT_EQ(v.FileName, plain);
  ExpectAllEmpty(v);

  v.SetFileName(path);
  v.SetFileName(scratch.Path("missing.exe"));
  ExpectAllEmpty(v);
}

}  // namespace
}  // namespace horalog
