#include "cli/BatchManifest.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "base/MarkedFolder.h"

namespace kalvane::cli {

using nlohmann::json;

namespace {

struct TOutputEntry {
  TOutputKind Kind;
  const char* Name;
};
constexpr TOutputEntry kOutputs[] = {
    {TOutputKind::Swf, "swf"},       {TOutputKind::Pageset, "pageset"},
    {TOutputKind::Frames, "frames"}, {TOutputKind::Amazon, "amazon"},
    {TOutputKind::Mp4, "mp4"},       {TOutputKind::Webm, "webm"},
    {TOutputKind::Webp, "webp"},     {TOutputKind::Gif, "gif"},
    {TOutputKind::Mobile, "mobile"}};

constexpr const char* kKeys[] = {"id",     "photos", "project", "prepare", "align",
                                 "rotate", "box",    "title",   "design",  "outputs"};
constexpr const char* kPrepareKeys[] = {"match_exposure", "white_background", "level", "rotate",
                                        "size"};
constexpr std::size_t kLongestId = 100;

std::string Listed(const char* const* names, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i)
    out += (i ? ", " : "") + std::string(names[i]);
  return out;
}

std::string KnownOutputs() {
  std::string out;
  for (const TOutputEntry& e : kOutputs)
    out += (out.empty() ? "" : ", ") + std::string(e.Name);
  return out;
}

// Where each key and value of a valid JSON text starts, in bytes, by its
// JSON pointer ("/outputs/2"), and the keys an object gives twice (which
// the parser would quietly take the last of). Values deeper than any the
// manifest knows are passed over without recursion.
class TJsonPlaces {
 public:
  explicit TJsonPlaces(const std::string& text) : Text(text) { Value("", 0); }
  std::map<std::string, std::size_t> Values, Keys;
  std::vector<std::pair<std::string, std::size_t>> Twice;

 private:
  static constexpr int kDeepest = 3;
  void Space() {
    while (At < Text.size() && std::isspace(static_cast<unsigned char>(Text[At])))
      ++At;
  }
  char Peek() const { return At < Text.size() ? Text[At] : '\0'; }
  std::string String() {
    const std::size_t start = At++;
    while (At < Text.size() && Text[At] != '"')
      At += Text[At] == '\\' ? 2 : 1;
    ++At;
    return json::parse(Text.substr(start, At - start)).get<std::string>();
  }
  void PassOver() {
    int depth = 0;
    do {
      const char c = Peek();
      if (c == '"') {
        String();
        continue;
      }
      if (c == '{' || c == '[') ++depth;
      if (c == '}' || c == ']') --depth;
      ++At;
    } while (depth > 0 && At < Text.size());
  }
  void Value(const std::string& pointer, int depth) {
    Space();
    Values[pointer] = At;
    const char c = Peek();
    if ((c == '{' || c == '[') && depth >= kDeepest) return PassOver();
    if (c == '"') {
      String();
    } else if (c == '{') {
      ++At;
      Space();
      while (Peek() != '}') {
        const std::size_t keyAt = At;
        const std::string child = pointer + "/" + String();
        if (!Keys.emplace(child, keyAt).second) Twice.emplace_back(child, keyAt);
        Space();
        ++At;  // the colon
        Value(child, depth + 1);
        Space();
        if (Peek() == ',') ++At;
        Space();
      }
      ++At;
    } else if (c == '[') {
      ++At;
      Space();
      for (int i = 0; Peek() != ']'; ++i) {
        Value(pointer + "/" + std::to_string(i), depth + 1);
        Space();
        if (Peek() == ',') ++At;
      }
      ++At;
    } else {
      while (At < Text.size() && !std::strchr(",]} \t\r\n", Text[At]))
        ++At;
    }
  }
  const std::string& Text;
  std::size_t At = 0;
};

// The column of a byte of `line`, from 1, in characters.
int ColumnOf(const std::string& line, std::size_t byte) {
  int column = 1;
  for (std::size_t i = 0; i < byte && i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
  }
  if (byte > line.size()) column += static_cast<int>(byte - line.size());
  return column;
}

// Where the token holding byte `last` starts: the parser tells where it
// stopped, a reader looks for the start of what it did not expect. A
// misspelt literal ("tru}") is read up to the character after it, so
// with `word` the bare word before that counts.
std::size_t TokenStart(const std::string& text, std::size_t last, bool word) {
  std::size_t i = 0, lastWord = std::string::npos;
  while (i < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    if (text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"';)
        i += text[i] == '\\' ? 2 : 1;
      ++i;
    } else if (std::strchr("{}[]:,", text[i])) {
      ++i;
    } else {
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
             !std::strchr("{}[]:,\"", text[i]))
        ++i;
      lastWord = start;
    }
    if (last < i) return word && lastWord != std::string::npos ? lastWord : start;
  }
  return last;
}

// The parser's own words, without its prefix and its count of lines.
std::string ParserDetail(const std::string& what) {
  const std::size_t column = what.find("column ");
  const std::size_t colon = column == std::string::npos ? what.find("] ") : what.find(": ", column);
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

std::optional<double> Number(const json& value) {
  if (!value.is_number()) return std::nullopt;
  return value.get<double>();
}

std::optional<int> Whole(const json& value, int low, int high) {
  const std::optional<double> n = Number(value);
  if (!n || *n != std::floor(*n) || *n < low || *n > high) return std::nullopt;
  return static_cast<int>(*n);
}

// Why text cannot be a path in the manifest ("" when it can).
std::string PathFault(const json& value) {
  if (!value.is_string()) return "must be a path in quotes";
  const std::string& text = value.get_ref<const std::string&>();
  if (text.empty()) return "is an empty path";
  if (HoldsBackslashOrControl(text)) return "holds a \\ or a control character: " + ShownName(text);
  return "";
}

std::string Resolved(const std::string& folder, const std::string& path) {
  if (path.starts_with("/") || folder.empty()) return path;
  return (std::filesystem::path(folder) / path).lexically_normal().string();
}

std::string IdFault(const std::string& id) {
  if (id.empty() || id.size() > kLongestId) return "must be 1 to 100 characters";
  if (id.front() == '.') return "must not start with a dot";
  for (const char c : id) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      return "may hold only A-Z a-z 0-9 . _ -";
  }
  return "";
}

bool DesignForm(const std::string& design) {
  const std::size_t slash = design.find('/');
  return slash != std::string::npos && slash > 0 && slash + 1 < design.size() &&
         design.find('/', slash + 1) == std::string::npos &&
         design.find("..") == std::string::npos && !HoldsBackslashOrControl(design);
}

// One line, checked field by field; every fault is added to `errors`.
class TLineReader {
 public:
  TLineReader(const std::string& text, int line, const std::string& folder,
              std::vector<TManifestError>& errors)
      : Text(text), LineNo(line), Folder(folder), Errors(errors) {}

  std::optional<TBatchProduct> Read() {
    const std::size_t before = Errors.size();
    json j;
    try {
      j = json::parse(Text);
    } catch (const json::parse_error& e) {
      const std::string detail = ParserDetail(e.what());
      Error(TokenStart(Text, e.byte > 0 ? e.byte - 1 : 0,
                       detail.find("invalid literal") != std::string::npos),
            "bad JSON: " + detail);
      return std::nullopt;
    }
    const TJsonPlaces places(Text);
    Places = &places;
    if (!j.is_object()) {
      Error(places.Values.at(""),
            "a product is one JSON object on its line: {\"id\": ..., \"outputs\": [...]}");
      return std::nullopt;
    }
    for (const auto& [pointer, at] : places.Twice)
      Error(at, "\"" + pointer.substr(pointer.rfind('/') + 1) + "\" is given twice");
    for (const auto& [key, value] : j.items()) {
      if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
        Error(KeyAt("/" + key),
              "unknown key \"" + key + "\" (known: " + Listed(kKeys, std::size(kKeys)) + ")");
    }
    TBatchProduct p;
    p.Line = LineNo;
    ReadId(j, p);
    ReadInputs(j, p);
    ReadLook(j, p);
    ReadOutputs(j, p);
    if (Errors.size() != before) return std::nullopt;
    p.Canonical = j.dump();
    return p;
  }

 private:
  void Error(std::size_t byte, const std::string& message) {
    Errors.push_back({LineNo, ColumnOf(Text, byte), message});
  }
  std::size_t At(const std::string& pointer) const { return Places->Values.at(pointer); }
  std::size_t KeyAt(const std::string& pointer) const { return Places->Keys.at(pointer); }

  void ReadId(const json& j, TBatchProduct& p) {
    if (!j.contains("id")) return Error(At(""), "no \"id\": every product needs one");
    if (!j["id"].is_string()) return Error(At("/id"), "\"id\" must be text");
    p.Id = j["id"].get<std::string>();
    if (const std::string fault = IdFault(p.Id); !fault.empty())
      Error(At("/id"), "\"id\" " + fault + " (not \"" + ShownName(p.Id) + "\")");
  }

  void ReadInputs(const json& j, TBatchProduct& p) {
    const bool photos = j.contains("photos"), project = j.contains("project");
    if (photos && project)
      return Error(KeyAt("/project"), "give \"photos\" or \"project\", not both");
    if (!photos && !project)
      return Error(At(""), "no \"photos\" (files and folders) or \"project\" (a .vpj)");
    if (photos) {
      const json& list = j["photos"];
      if (!list.is_array() || list.empty())
        return Error(At("/photos"), "\"photos\" must be a list of files and folders");
      for (std::size_t i = 0; i < list.size(); ++i) {
        if (const std::string fault = PathFault(list[i]); !fault.empty()) {
          Error(At("/photos/" + std::to_string(i)), "a photo " + fault);
        } else {
          p.Photos.push_back(Resolved(Folder, list[i].get<std::string>()));
        }
      }
    } else {
      const json& file = j["project"];
      if (const std::string fault = PathFault(file); !fault.empty())
        return Error(At("/project"), "\"project\" " + fault);
      const std::string path = file.get<std::string>();
      std::string ext = std::filesystem::path(path).extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
      if (ext != ".vpj") return Error(At("/project"), "\"project\" must name a .vpj file");
      p.Project = Resolved(Folder, path);
      p.Align = false;
    }
    if (j.contains("prepare")) ReadPrepare(j["prepare"], project, p);
  }

  void ReadPrepare(const json& prepare, bool project, TBatchProduct& p) {
    if (project)
      return Error(KeyAt("/prepare"), "\"prepare\" is for photos; a project is taken as it is");
    if (!prepare.is_object())
      return Error(At("/prepare"), "\"prepare\" must be an object of fotomill's settings");
    TPrepSettings s;
    for (const auto& [key, value] : prepare.items()) {
      const std::string pointer = "/prepare/" + key;
      if (std::find(std::begin(kPrepareKeys), std::end(kPrepareKeys), key) ==
          std::end(kPrepareKeys)) {
        Error(KeyAt(pointer), "unknown setting \"" + key + "\" in \"prepare\" (known: " +
                                  Listed(kPrepareKeys, std::size(kPrepareKeys)) + ")");
      } else if (key == "match_exposure") {
        if (!value.is_boolean()) Error(At(pointer), "\"match_exposure\" must be true or false");
        s.MatchExposure = value.is_boolean() && value.get<bool>();
      } else if (key == "white_background") {
        const std::optional<double> threshold = Number(value);
        if (value.is_boolean()) {
          s.WhiteBackground = value.get<bool>();
        } else if (threshold && *threshold >= 0 && *threshold <= 100) {
          s.WhiteBackground = true;
          s.Clean.Threshold = *threshold / 100;
        } else {
          Error(At(pointer),
                "\"white_background\" must be true, false or a threshold from 0 to 100");
        }
      } else if (key == "level") {
        const std::optional<double> degrees = Number(value);
        if (!degrees || *degrees < -45 || *degrees > 45)
          Error(At(pointer), "\"level\" must be degrees from -45 to 45");
        else
          s.Geometry.LevelDegrees = *degrees;
      } else if (key == "rotate") {
        const std::optional<int> degrees = Whole(value, 0, 270);
        if (!degrees || *degrees % 90 != 0)
          Error(At(pointer), "\"rotate\" in \"prepare\" must be 0, 90, 180 or 270");
        else
          s.Geometry.QuarterTurns = *degrees / 90;
      } else if (key == "size") {
        const std::optional<int> px = Whole(value, 1, 30000);
        if (!px)
          Error(At(pointer), "\"size\" must be whole pixels from 1 to 30000");
        else
          s.Output.LongestSide = *px;
      }
    }
    // A run again into the product's folder replaces what the last one prepared.
    s.ReplaceEarlier = true;
    p.Prepare = s;
  }

  void ReadLook(const json& j, TBatchProduct& p) {
    if (j.contains("align")) {
      if (!j["align"].is_boolean())
        Error(At("/align"), "\"align\" must be true or false");
      else
        p.Align = j["align"].get<bool>();
    }
    if (j.contains("rotate")) {
      const std::optional<int> degrees = Whole(j["rotate"], 0, 270);
      if (!degrees || *degrees % 90 != 0)
        Error(At("/rotate"), "\"rotate\" must be 0, 90, 180 or 270 (degrees, counter-clockwise)");
      else
        p.QuarterTurns = *degrees / 90;
    }
    if (j.contains("box")) {
      const json& b = j["box"];
      std::optional<double> v[4];
      if (b.is_array() && b.size() == 4) {
        for (std::size_t i = 0; i < 4; ++i)
          v[i] = Number(b[i]);
      }
      const bool numbers = v[0] && v[1] && v[2] && v[3];
      if (!numbers || !(*v[0] >= 0 && *v[0] < *v[2] && *v[2] <= 1 && *v[1] >= 0 && *v[1] < *v[3] &&
                        *v[3] <= 1)) {
        Error(At("/box"),
              "\"box\" must be [left, top, right, bottom]: fractions from 0 to 1, left < right, "
              "top < bottom");
      } else {
        p.Box = {*v[0], *v[1], *v[2], *v[3]};
        p.BoxGiven = true;
      }
    }
    if (j.contains("title")) {
      if (!j["title"].is_string())
        Error(At("/title"), "\"title\" must be text");
      else
        p.Title = j["title"].get<std::string>();
    }
    if (j.contains("design")) {
      if (!j["design"].is_string() || !DesignForm(j["design"].get<std::string>()))
        Error(At("/design"), "\"design\" must be THEME/DESIGN (kalvane-cli designs lists them)");
      else
        p.Design = j["design"].get<std::string>();
    }
  }

  void ReadOutputs(const json& j, TBatchProduct& p) {
    if (!j.contains("outputs"))
      return Error(At(""), "no \"outputs\": name what to make (" + KnownOutputs() + ")");
    const json& list = j["outputs"];
    if (!list.is_array() || list.empty())
      return Error(At("/outputs"),
                   "\"outputs\" must be a list of one or more of " + KnownOutputs());
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string pointer = "/outputs/" + std::to_string(i);
      const std::optional<TOutputKind> kind =
          list[i].is_string() ? OutputKindOf(list[i].get<std::string>()) : std::nullopt;
      if (!kind) {
        Error(At(pointer), "unknown output " + list[i].dump() + " (known: " + KnownOutputs() + ")");
      } else if (std::find(p.Outputs.begin(), p.Outputs.end(), *kind) != p.Outputs.end()) {
        Error(At(pointer), "output \"" + std::string(OutputKindName(*kind)) + "\" is given twice");
      } else {
        p.Outputs.push_back(*kind);
      }
    }
  }

  const std::string& Text;
  int LineNo;
  const std::string& Folder;
  std::vector<TManifestError>& Errors;
  const TJsonPlaces* Places = nullptr;
};

}  // namespace

const char* OutputKindName(TOutputKind kind) {
  for (const TOutputEntry& e : kOutputs) {
    if (e.Kind == kind) return e.Name;
  }
  return "";
}

std::optional<TOutputKind> OutputKindOf(const std::string& name) {
  for (const TOutputEntry& e : kOutputs) {
    if (name == e.Name) return e.Kind;
  }
  return std::nullopt;
}

std::string OutputPlace(TOutputKind kind, const std::string& id) {
  switch (kind) {
    case TOutputKind::Swf:
      return "veldata.swf";
    case TOutputKind::Mobile:
      return "mobile.swf";
    case TOutputKind::Pageset:
      return "site/";
    case TOutputKind::Frames:
      return "frames/";
    case TOutputKind::Amazon:
      return id + "-amazon.zip";
    case TOutputKind::Mp4:
      return id + ".mp4";
    case TOutputKind::Webm:
      return id + ".webm";
    case TOutputKind::Webp:
      return id + ".webp";
    case TOutputKind::Gif:
      return id + ".gif";
  }
  return "";
}

TManifest ParseManifest(const std::string& text, const std::string& folder) {
  TManifest manifest;
  std::map<std::string, int> seen;  // id -> its line
  std::size_t start = 0;
  for (int lineNo = 1; start < text.size(); ++lineNo) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    TLineReader reader(line, lineNo, folder, manifest.Errors);
    std::optional<TBatchProduct> product = reader.Read();
    if (!product) continue;
    if (const auto [at, fresh] = seen.emplace(product->Id, lineNo); !fresh) {
      const std::size_t byte = TJsonPlaces(line).Values.at("/id");
      manifest.Errors.push_back(
          {lineNo, ColumnOf(line, byte),
           "id \"" + product->Id + "\" is already on line " + std::to_string(at->second)});
      continue;
    }
    manifest.Products.push_back(std::move(*product));
  }
  std::stable_sort(manifest.Errors.begin(), manifest.Errors.end(),
                   [](const TManifestError& a, const TManifestError& b) {
                     return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
                   });
  return manifest;
}

}  // namespace kalvane::cli
