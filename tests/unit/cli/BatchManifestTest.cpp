#include "cli/BatchManifest.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvane::cli {
namespace {

TManifest Parse(const std::string& text) {
  return ParseManifest(text, "/studio/day");
}

// "line:column: message" of every error, for one comparison.
std::string Errors(const std::string& text) {
  std::string out;
  for (const TManifestError& e : Parse(text).Errors)
    out += std::to_string(e.Line) + ":" + std::to_string(e.Column) + ": " + e.Message + "\n";
  return out;
}

TEST(BatchManifest, AFullLineGivesEveryFieldAndPathsFromTheManifestsFolder) {
  const TManifest m = Parse(
      R"({"id": "teapot-01", "photos": ["shots/teapot-01", "/abs/extra.jpg"], )"
      R"("prepare": {"match_exposure": true, "white_background": 20, "level": -1.5, "rotate": 90, "size": 2000}, )"
      R"("align": false, "rotate": 270, "box": [0.1, 0.05, 0.9, 0.95], "title": "Teapot", )"
      R"("design": "simple/light", "outputs": ["mp4", "swf", "amazon"]})");
  ASSERT_TRUE(m.Errors.empty()) << m.Errors.front().Message;
  ASSERT_EQ(m.Products.size(), 1u);
  const TBatchProduct& p = m.Products[0];
  EXPECT_EQ(p.Id, "teapot-01");
  EXPECT_EQ(p.Photos, (std::vector<std::string>{"/studio/day/shots/teapot-01", "/abs/extra.jpg"}));
  ASSERT_TRUE(p.Prepare);
  EXPECT_TRUE(p.Prepare->MatchExposure);
  EXPECT_TRUE(p.Prepare->WhiteBackground);
  EXPECT_DOUBLE_EQ(p.Prepare->Clean.Threshold, 0.2);
  EXPECT_DOUBLE_EQ(p.Prepare->Geometry.LevelDegrees, -1.5);
  EXPECT_EQ(p.Prepare->Geometry.QuarterTurns, 1);
  EXPECT_EQ(p.Prepare->Output.LongestSide, 2000);
  EXPECT_FALSE(p.Align);
  EXPECT_EQ(p.QuarterTurns, 3);
  EXPECT_TRUE(p.BoxGiven);
  EXPECT_DOUBLE_EQ(p.Box.p1y, 0.05);
  EXPECT_DOUBLE_EQ(p.Box.p2x, 0.9);
  EXPECT_EQ(p.Title, "Teapot");
  EXPECT_EQ(p.Design, "simple/light");
  EXPECT_EQ(p.Outputs,
            (std::vector<TOutputKind>{TOutputKind::Mp4, TOutputKind::Swf, TOutputKind::Amazon}));
}

TEST(BatchManifest, DefaultsBlankLinesAndTheLineNumbersTheyKeep) {
  const TManifest m = Parse(
      "\xEF\xBB\xBF{\"id\": \"a\", \"photos\": [\"x\"], \"outputs\": [\"swf\"]}\r\n"
      "\n   \t\r\n"
      "{\"id\": \"b.2_c\", \"project\": \"old/b.VPJ\", \"outputs\": [\"gif\"]}");
  ASSERT_TRUE(m.Errors.empty()) << m.Errors.front().Message;
  ASSERT_EQ(m.Products.size(), 2u);
  EXPECT_TRUE(m.Products[0].Align) << "photos are aligned unless told";
  EXPECT_FALSE(m.Products[0].Prepare);
  EXPECT_FALSE(m.Products[0].BoxGiven);
  EXPECT_EQ(m.Products[0].Design, "shop/framed");
  EXPECT_EQ(m.Products[1].Line, 4);
  EXPECT_EQ(m.Products[1].Project, "/studio/day/old/b.VPJ");
  EXPECT_FALSE(m.Products[1].Align) << "a project keeps its offsets unless told";
}

TEST(BatchManifest, EachErrorNamesItsLineAndColumn) {
  EXPECT_EQ(Errors("{\"id\": \"a\", \"photos\": [\"x\"] \"outputs\": [\"swf\"]}"),
            "1:29: bad JSON: syntax error while parsing object - unexpected string literal; "
            "expected '}'\n");
  EXPECT_EQ(Errors("{\"id\": \"a\", \"outputs\": []"),
            "1:26: bad JSON: syntax error while parsing object - unexpected end of input; "
            "expected '}'\n");
  EXPECT_EQ(Errors("\n{\"id\": tru}"),
            "2:8: bad JSON: syntax error while parsing value - invalid "
            "literal; last read: '\"id\": tru}'\n");
  EXPECT_EQ(Errors(R"({"id": "a", "fotos": ["x"], "outputs": ["swf", "png"]})"),
            "1:1: no \"photos\" (files and folders) or \"project\" (a .vpj)\n"
            "1:13: unknown key \"fotos\" (known: id, photos, project, prepare, align, rotate, "
            "box, title, design, outputs)\n"
            "1:48: unknown output \"png\" (known: swf, pageset, frames, amazon, mp4, webm, webp, "
            "gif, mobile)\n");
  EXPECT_EQ(Errors("\n  {\"photos\": [\"x\"], \"outputs\": [\"swf\"]}"),
            "2:3: no \"id\": every product needs one\n");
  EXPECT_EQ(Errors(R"({"id": "a", "photos": ["x"], "outputs": ["swf"]}
{"id": "b", "photos": ["y"], "outputs": ["swf"]}
{"id": "a", "photos": ["z"], "outputs": ["gif"]})"),
            "3:8: id \"a\" is already on line 1\n");
  EXPECT_EQ(Errors(R"({"id": "a", "id": "b", "photos": ["x"], "outputs": ["swf", "swf"]})"),
            "1:13: \"id\" is given twice\n1:60: output \"swf\" is given twice\n");
  EXPECT_EQ(Errors(R"([{"id": "a"}])"),
            "1:1: a product is one JSON object on its line: {\"id\": ..., \"outputs\": [...]}\n");
}

TEST(BatchManifest, IdsAndPathsOfABadForm) {
  const std::string tail = R"(, "photos": ["x"], "outputs": ["swf"]})";
  EXPECT_EQ(Errors(R"({"id": ".hidden")" + tail),
            "1:8: \"id\" must not start with a dot (not \".hidden\")\n");
  EXPECT_EQ(Errors(R"({"id": "a/b")" + tail),
            "1:8: \"id\" may hold only A-Z a-z 0-9 . _ - (not \"a/b\")\n");
  EXPECT_TRUE(Errors(R"({"id": ")" + std::string(100, 'x') + "\"" + tail).empty());
  EXPECT_EQ(Errors(R"({"id": ")" + std::string(101, 'x') + "\"" + tail),
            "1:8: \"id\" must be 1 to 100 characters (not \"" + std::string(101, 'x') + "\")\n");
  EXPECT_EQ(Errors(R"({"id": "a", "photos": ["ok", "", 3, "bad\nline"], "outputs": ["swf"]})"),
            "1:30: a photo is an empty path\n1:34: a photo must be a path in quotes\n"
            "1:37: a photo holds a \\ or a control character: bad\\nline\n");
  EXPECT_EQ(Errors(R"({"id": "a", "photos": ["x"], "project": "p.vpj", "outputs": ["swf"]})"),
            "1:30: give \"photos\" or \"project\", not both\n");
  EXPECT_EQ(Errors(R"({"id": "a", "project": "p.txt", "outputs": ["swf"]})"),
            "1:24: \"project\" must name a .vpj file\n");
  // Columns count characters, not bytes: "é" and "ü" are two bytes each.
  EXPECT_EQ(Errors(R"({"title": "éü", "id": "a", "photos": ["x"], "outputs": []})"),
            "1:56: \"outputs\" must be a list of one or more of swf, pageset, frames, amazon, mp4, "
            "webm, webp, gif, mobile\n");
}

TEST(BatchManifest, SettingsOutsideTheirRange) {
  const std::string head = R"({"id": "a", "photos": ["x"], "outputs": ["swf"], )";
  EXPECT_EQ(Errors(head + R"("prepare": {"level": 50, "sharpen": true, "size": 1.5}})"),
            "1:71: \"level\" must be degrees from -45 to 45\n"
            "1:75: unknown setting \"sharpen\" in \"prepare\" (known: match_exposure, "
            "white_background, level, rotate, size)\n"
            "1:100: \"size\" must be whole pixels from 1 to 30000\n");
  EXPECT_EQ(Errors(head + R"("rotate": 45, "box": [0.5, 0, 0.4, 1], "design": "../etc"})"),
            "1:60: \"rotate\" must be 0, 90, 180 or 270 (degrees, counter-clockwise)\n"
            "1:71: \"box\" must be [left, top, right, bottom]: fractions from 0 to 1, left < "
            "right, top < bottom\n"
            "1:99: \"design\" must be THEME/DESIGN (kalvane-cli designs lists them)\n");
  EXPECT_EQ(Errors(R"({"id": "a", "project": "p.vpj", "prepare": {}, "outputs": ["swf"]})"),
            "1:33: \"prepare\" is for photos; a project is taken as it is\n");
}

TEST(BatchManifest, TheCanonicalLineIgnoresSpacingAndOrderButNotValues) {
  const auto canonical = [](const std::string& line) {
    const TManifest m = Parse(line);
    return m.Products.empty() ? std::string("error") : m.Products[0].Canonical;
  };
  const std::string a = canonical(R"({"id": "a", "photos": ["x"], "outputs": ["swf"]})");
  EXPECT_EQ(a, canonical(R"({ "outputs":["swf"],"photos":["x"],   "id":"a" })"));
  EXPECT_NE(a, canonical(R"({"id": "a", "photos": ["x"], "outputs": ["swf", "gif"]})"));
  EXPECT_NE(a, canonical(R"({"id": "a", "photos": ["x"], "outputs": ["swf"], "align": true})"));
}

}  // namespace
}  // namespace kalvane::cli
