#include "project/IniFile.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

TEST(ProjectReals, GeneralFormatWithFifteenDigits) {
  EXPECT_EQ(FormatReal(0.05), "0.05");
  EXPECT_EQ(FormatReal(0.660146699266504), "0.660146699266504");
  EXPECT_EQ(FormatReal(2.0 / 3.0), "0.666666666666667");
  EXPECT_EQ(FormatReal(12), "12");
  EXPECT_EQ(FormatReal(-7), "-7");
  EXPECT_EQ(FormatReal(0), "0");
  EXPECT_EQ(FormatReal(0.5), "0.5");
  EXPECT_EQ(FormatReal(-0.25), "-0.25");
  EXPECT_EQ(FormatReal(0.00001), "0.00001");  // fixed from here up
  EXPECT_EQ(FormatReal(0.000001), "1E-6");
  EXPECT_EQ(FormatReal(0.0000015), "1.5E-6");
  EXPECT_EQ(FormatReal(123456789012345.0), "123456789012345");
  EXPECT_EQ(FormatReal(1e15), "1E15");
  EXPECT_EQ(FormatReal(1.5e20), "1.5E20");
  EXPECT_EQ(FormatReal(2147483647), "2147483647");
}

TEST(ProjectNumbers, WholeTextOrTheDefault) {
  EXPECT_EQ(ParseInteger("12"), 12);
  EXPECT_EQ(ParseInteger("-7"), -7);
  EXPECT_EQ(ParseInteger("0x10"), 16);
  EXPECT_EQ(ParseInteger("0X1f"), 31);
  EXPECT_EQ(ParseInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  for (const char* bad :
       {"12.5", "", "abc", "12abc", "0x", "0x1G", "99999999999", "- 5", "0x123456789"}) {
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseReal("0.05"), 0.05);
  EXPECT_EQ(ParseReal("1E-6"), 1e-6);
  EXPECT_EQ(ParseReal("-3"), -3.0);
  for (const char* bad : {"abc", "nan", "inf", "0x1p3", "1,5", "", "1e999"}) {
    EXPECT_FALSE(ParseReal(bad).has_value()) << bad;
  }
}

TEST(IniFile, NamesIgnoreCaseAndTheFirstDuplicateWins) {
  const TIniFile ini = TIniFile::Parse(
      "\xEF\xBB\xBF[Project]\r\nItemCount = 3\r\nitemcount=9\r\nno equals sign\r\n"
      "[other]\nx=1\n[PROJECT]\nitemRotate=9000\n  [trimBox]  \np1x=\"0.1\"\n");
  EXPECT_EQ(ini.ReadInteger("project", "itemCount", -1), 3);
  EXPECT_EQ(ini.ReadInteger("project", "itemRotate", 0), 9000);  // a repeated section adds
  EXPECT_EQ(ini.ReadFloat("trimbox", "P1X", 0), 0.1);
  EXPECT_EQ(ini.ReadInteger("other", "missing", -1), -1);
  EXPECT_EQ(ini.ReadInteger("nosection", "x", 5), 5);
  EXPECT_FALSE(ini.ReadBool("other", "missing", false));
  EXPECT_TRUE(ini.ReadBool("other", "x", false));
}

TEST(IniFile, WriteKeepsOrderAndOtherLines) {
  TIniFile ini = TIniFile::Parse("[main]\nLeft=1\nExtra=keep\n");
  ini.WriteInteger("MAIN", "left", 5);
  ini.WriteInteger("template", "SelectTheme", 2);
  ini.WriteFloat("template", "scale", 0.25);
  EXPECT_EQ(ini.ToText(), "[main]\nLeft=5\nExtra=keep\n[template]\nSelectTheme=2\nscale=0.25\n");
}

TEST(IniFile, ShiftJisFromWindowsIsRead) {
  // "C:\写真\ソフト表示\001.jpg" in CP932: ソ and 表 end in the byte 5C,
  // the same byte as the backslash.
  const std::string utf8 = "name=C:\\写真\\ソフト表示\\001.jpg";
  iconv_t cd = iconv_open("CP932", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string sjis(utf8.size() * 2, '\0');
  char* in = const_cast<char*>(utf8.data());
  char* out = sjis.data();
  std::size_t inLeft = utf8.size(), outLeft = sjis.size();
  ASSERT_NE(iconv(cd, &in, &inLeft, &out, &outLeft), static_cast<std::size_t>(-1));
  sjis.resize(sjis.size() - outLeft);
  iconv_close(cd);
  const TIniFile ini = TIniFile::Parse("[projectItem0]\r\n" + sjis + "\r\nx=-3\r\n");
  EXPECT_EQ(ini.ReadString("projectItem0", "name", ""), "C:\\写真\\ソフト表示\\001.jpg");
  EXPECT_EQ(ini.ReadInteger("projectItem0", "x", 0), -3);
  // One such name among UTF-8 ones (a project we saved holding a file from
  // a Windows archive) leaves the others as they are.
  const TIniFile mixed =
      TIniFile::Parse("[a]\nname=/写真/カップ.jpg\n[b]\n" + sjis + "\n[c]\nname=/ß.jpg\n");
  EXPECT_EQ(mixed.ReadString("a", "name", ""), "/写真/カップ.jpg");
  EXPECT_EQ(mixed.ReadString("b", "name", ""), "C:\\写真\\ソフト表示\\001.jpg");
  EXPECT_EQ(mixed.ReadString("c", "name", ""), "/ß.jpg");
}

TEST(IniFile, TextThatIsNotUtf8IsMarkedAndComesBackAsItsBytes) {
  // A file name from an unzipped Windows archive: "café" in Latin-1.
  const std::string latin1 = "/photos/caf\xE9.jpg";
  TIniFile ini;
  ini.WriteInteger("project", "itemCount", 1);
  ini.Write("projectItem0", "name", latin1);
  const std::string text = ini.ToText();
  EXPECT_EQ(text,
            "[project]\nitemCount=1\ntextEncoding=bytes\n"
            "[projectItem0]\nname=/photos/caf\xE9.jpg\n");
  EXPECT_EQ(TIniFile::Parse(text).ReadString("projectItem0", "name", ""), latin1);
  EXPECT_EQ(TIniFile::Parse(TIniFile::Parse(text).ToText()).ToText(), text);  // marked once

  // Unmarked, the same kind of line is still taken as Windows wrote it.
  const std::string sjis = "C:\\\x8E\xCA\x90\x5E\\001.jpg";  // C:\写真\001.jpg in CP932
  EXPECT_EQ(TIniFile::Parse("[project]\nitemCount=1\n[projectItem0]\nname=" + sjis + "\n")
                .ReadString("projectItem0", "name", ""),
            "C:\\写真\\001.jpg");
  // Marked, it is taken byte for byte; the mark counts only in the first section.
  EXPECT_EQ(TIniFile::Parse("[project]\ntextEncoding=bytes\n[projectItem0]\nname=" + sjis + "\n")
                .ReadString("projectItem0", "name", ""),
            sjis);
  EXPECT_EQ(TIniFile::Parse("[project]\n[projectItem0]\ntextEncoding=bytes\nname=" + sjis + "\n")
                .ReadString("projectItem0", "name", ""),
            "C:\\写真\\001.jpg");
  // UTF-8 alone needs no mark: such files stay as they always were.
  TIniFile plain;
  plain.Write("projectItem0", "name", "/写真/カップ.jpg");
  EXPECT_EQ(plain.ToText(), "[projectItem0]\nname=/写真/カップ.jpg\n");
}

TEST(IniFile, ValuesWithOuterBlanksOrQuotesComeBackAsWritten) {
  const std::vector<std::string> values{" lead.jpg", "trail.jpg  ", "\"quoted\"", "plain.jpg", ""};
  TIniFile ini;
  for (std::size_t i = 0; i < values.size(); ++i)
    ini.Write("s", "k" + std::to_string(i), values[i]);
  const TIniFile back = TIniFile::Parse(ini.ToText());
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(back.ReadString("s", "k" + std::to_string(i), "?"), values[i]);
  EXPECT_NE(ini.ToText().find("k3=plain.jpg\n"), std::string::npos);  // as before
}

TEST(IniFile, HostileFilesGiveDefaults) {
  test::TempDir dir;
  // a 100 MB single line, made sparse so the test writes nothing
  const std::string huge = dir.File("huge.vpj");
  { std::ofstream(huge) << "[project]\nitemCount=3\n"; }
  std::filesystem::resize_file(huge, 100u << 20);
  EXPECT_EQ(TIniFile::Load(huge).ReadInteger("project", "itemCount", -1), -1);
  // binary garbage
  std::string garbage;
  for (int i = 0; i < 100000; ++i)
    garbage += static_cast<char>((i * 7919) % 256);
  const TIniFile junk = TIniFile::Parse(garbage);
  EXPECT_EQ(junk.ReadInteger("project", "itemCount", -1), -1);
  // a long line under the limit is read, its key simply absent
  const TIniFile longLine = TIniFile::Parse("[project]\n" + std::string(5u << 20, 'a') + "\n");
  EXPECT_EQ(longLine.ReadInteger("project", "itemCount", -1), -1);
  EXPECT_EQ(TIniFile::Load(dir.File("missing.vpj")).SectionNames().size(), 0u);
}

TEST(IniFile, SaveReplacesTheFileOnlyWhenComplete) {
  test::TempDir dir;
  const std::string path = dir.File("project.vpj");
  std::ofstream(path) << "[project]\nitemCount=1\n";
  TIniFile ini;
  ini.Write("project", "itemCount", "2");
  ini.Write("project", "padding", std::string(1 << 20, 'x'));
  // With a 64 KB file-size limit the write fails half-way, as on a full disk.
  {
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limit = old;
    limit.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &limit);
    const TResult saved = ini.Save(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved.Ok());
    EXPECT_NE(saved.Error.find("project.vpj"), std::string::npos) << saved.Error;
  }
  EXPECT_EQ(test::ReadText(path), "[project]\nitemCount=1\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  std::string error;
  ASSERT_TRUE(test::Ok(ini.Save(path)));
  EXPECT_EQ(TIniFile::Load(path).ReadInteger("project", "itemCount", 0), 2);
  EXPECT_TRUE(test::Failed(ini.Save(dir.File("no/folder/x.vpj")), &error));
  EXPECT_NE(error.find("no/folder/x.vpj"), std::string::npos);
}

}  // namespace
}  // namespace kalvane
