#include "cmdline/OptionParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace kalvane::cmdline {
namespace {

// A program "prog" whose usage is one line, its streams kept for the checks.
struct TProgram {
  std::ostringstream Out, Err;
  TProgramVoice Voice(const std::string& topic = {}) {
    return {"prog", Out, Err, [](std::ostream& out) { out << "usage: prog\n"; }, topic};
  }
};

TEST(ProgramVoice, SaysEveryMessageAfterItsNameAndPointsToTheRightHelp) {
  TProgram p;
  EXPECT_EQ(p.Voice().Fail("a.jpg: cannot be read"), kFailed);
  EXPECT_EQ(p.Voice("export").BadUsage("no project given"), kUsage);
  EXPECT_EQ(p.Voice().BadUsage("no photos given"), kUsage);
  EXPECT_EQ(p.Err.str(),
            "prog: a.jpg: cannot be read\n"
            "prog: no project given\n(see prog export --help)\n"
            "prog: no photos given\n(see prog --help)\n");
  EXPECT_EQ(p.Out.str(), "");
  EXPECT_EQ(p.Voice().Help(), kDone);
  EXPECT_EQ(p.Out.str(), "usage: prog\n");
}

TEST(OptionParser, TakesValuesJoinedOrApartInAnyOrderAndTheLastOneCounts) {
  TProgram p;
  TOptionParser line(p.Voice());
  std::string output, level;
  bool overwrite = false;
  std::vector<std::string> args;
  line.Value("-o,--output", output, "a file");
  line.Value("--level", level);
  line.Flag("--overwrite", overwrite);
  line.Arguments(args);
  EXPECT_EQ(
      line.Parse({"a", "--output=x", "b", "-o", "y", "--overwrite", "--level", "", "--", "-c"}),
      std::nullopt)
      << p.Err.str();
  EXPECT_EQ(output, "y");
  EXPECT_TRUE(overwrite);
  EXPECT_TRUE(line.Given("--level")) << "an empty value the caller checks is given";
  EXPECT_EQ(level, "");
  EXPECT_EQ(args, (std::vector<std::string>{"a", "b", "-c"}));
  EXPECT_EQ(p.Err.str(), "");
}

// The message a line gets from a parser of one value option, one checked
// by the caller, one flag and one refused option.
std::string Refusal(const std::vector<std::string>& args, int expected = kUsage) {
  TProgram p;
  TOptionParser line(p.Voice("export"));
  std::string width, level;
  bool overwrite = false;
  std::vector<std::string> rest;
  line.Value("-w,--width", width, "a number");
  line.Value("--level", level);
  line.Flag("--overwrite", overwrite);
  line.Refuse("--box", "--box is for align");
  line.Arguments(rest);
  const std::optional<int> rc = line.Parse(args);
  EXPECT_EQ(rc, std::optional<int>(expected));
  return expected == kDone ? p.Out.str() : p.Err.str();
}

TEST(OptionParser, BadUsageNamesTheOptionAndWhatItNeeds) {
  const std::string help = "\n(see prog export --help)\n";
  EXPECT_EQ(Refusal({"x.vpj", "--width"}), "prog: --width needs a number" + help);
  EXPECT_EQ(Refusal({"x.vpj", "--width="}), "prog: --width needs a number" + help);
  EXPECT_EQ(Refusal({"--width", "", "x.vpj"}), "prog: -w needs a number" + help);
  EXPECT_EQ(Refusal({"x.vpj", "--level"}), "prog: --level needs a value" + help);
  EXPECT_EQ(Refusal({"--bogus", "x.vpj"}), "prog: unknown option --bogus" + help);
  EXPECT_EQ(Refusal({"--overwrite=maybe"}), "prog: --overwrite takes no value" + help);
  EXPECT_EQ(Refusal({"--box", "0,0,1,1", "x.vpj"}), "prog: --box is for align" + help);
  EXPECT_EQ(Refusal({"x.vpj", "--box"}), "prog: --box is for align" + help);
  EXPECT_EQ(Refusal({"x.vpj", "-h"}, kDone), "usage: prog\n");
}

TEST(OptionParser, NumbersAreWholeTextsWithinTheirRange) {
  EXPECT_EQ(WholeNumber("640", 1, 4000), 640);
  for (const char* bad : {"", "0", "4001", "12px", " 12", "1.5", "-"})
    EXPECT_EQ(WholeNumber(bad, 1, 4000), std::nullopt) << bad;
  EXPECT_EQ(RealNumber("-12.5", -45, 45), -12.5);
  for (const char* bad : {"", "45.1", "nan", "1e", "3,5", "inf"})
    EXPECT_EQ(RealNumber(bad, -45, 45), std::nullopt) << bad;
}

}  // namespace
}  // namespace kalvane::cmdline
