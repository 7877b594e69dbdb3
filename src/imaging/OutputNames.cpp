#include "imaging/OutputNames.h"

#include <filesystem>

#include "base/MarkedFolder.h"

namespace kalvane {

std::optional<TNameTemplate> TNameTemplate::Parse(const std::string& text, std::string& error,
                                                  std::string* unknown) {
  TNameTemplate made;
  bool hasField = false;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find_first_of("{}", at);
    if (open == std::string::npos) {
      made.Parts.push_back({TPart::Literal, text.substr(at), 0});
      break;
    }
    if (text[open] == '}') {
      error = "a '}' without '{' in the name template";
      return std::nullopt;
    }
    if (open > at) made.Parts.push_back({TPart::Literal, text.substr(at, open - at), 0});
    const std::size_t close = text.find('}', open);
    if (close == std::string::npos) {
      error = "an unclosed '{' in the name template";
      return std::nullopt;
    }
    const std::string field = text.substr(open + 1, close - open - 1);
    if (field == "name") {
      made.Parts.push_back({TPart::Name, {}, 0});
    } else if (field == "index") {
      made.Parts.push_back({TPart::Index, {}, 0});
    } else if (field.starts_with("index:0") && field.size() == 8 && field[7] >= '1' &&
               field[7] <= '9') {
      made.Parts.push_back({TPart::Index, {}, field[7] - '0'});
    } else {
      error =
          "unknown field {" + field + "} in the name template (use {name}, {index}, {index:03})";
      if (unknown) *unknown = "{" + field + "}";
      return std::nullopt;
    }
    hasField = true;
    at = close + 1;
  }
  if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) {
    error = "the name template names a file, not a folder: no '/' or '\\' in it";
    return std::nullopt;
  }
  if (HoldsBackslashOrControl(text)) {
    error = "the name template holds a control character (such as a line break)";
    return std::nullopt;
  }
  if (!hasField) {
    error = "the name template needs {name} or {index}, or every photo gets one name";
    return std::nullopt;
  }
  return made;
}

std::string TNameTemplate::Make(const std::string& input, int index) const {
  std::string out;
  for (const TPart& part : Parts) {
    switch (part.Kind) {
      case TPart::Literal:
        out += part.Text;
        break;
      case TPart::Name:
        out += std::filesystem::path(input).stem().string();
        break;
      case TPart::Index: {
        std::string digits = std::to_string(index);
        if (static_cast<int>(digits.size()) < part.Width)
          digits.insert(0, part.Width - digits.size(), '0');
        out += digits;
        break;
      }
    }
  }
  return out;
}

}  // namespace kalvane
