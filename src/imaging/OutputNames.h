#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kalvane {

// The name of each written photo, from a template: {name} is the input's
// file name without its extension, {index} its place in the shoot from 1,
// {index:03} that number with zeros to three digits. The format's
// extension is added.
class TNameTemplate {
 public:
  // Empty with `error` said for a template that cannot name files: an
  // unknown field (given in `field` as written, braces and all), an
  // unclosed brace, a folder separator ("/" or "\"), a control character,
  // nothing at all.
  static std::optional<TNameTemplate> Parse(const std::string& text, std::string& error,
                                            std::string* field = nullptr);

  std::string Make(const std::string& input, int index) const;

 private:
  struct TPart {
    enum TKind { Literal, Name, Index } Kind = Literal;
    std::string Text;
    int Width = 0;  // digits of the index, zeros in front
  };
  std::vector<TPart> Parts;
};

}  // namespace kalvane
