#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// An initialization file as private-profile services read and write it:
// [section] headers and key=value lines, section and key names compared
// without regard to ASCII case, the first of duplicate sections or keys
// winning. Text is UTF-8; a line that is not valid UTF-8 is taken as
// Shift-JIS (CP932), as projects written on Japanese Windows are, unless
// the file carries the bytes mark (below).
class TIniFile {
 public:
  // File names here are bytes and need not be UTF-8. A file we write with
  // such text carries textEncoding=bytes in its first section (a key other
  // readers ignore) and is read back byte for byte.
  static constexpr const char* kEncodingKey = "textEncoding";
  static constexpr const char* kEncodingBytes = "bytes";

  // Files larger than this are not read at all (every value its default):
  // no project or settings file comes near it.
  static constexpr std::uint64_t kMaxFileSize = 16u << 20;

  static TIniFile Parse(const std::string& bytes);
  // A missing or unreadable file gives an empty one.
  static TIniFile Load(const std::string& path);

  bool HasSection(const std::string& section) const;
  std::optional<std::string> Read(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // Whole text as a decimal integer, or 0x/0X hexadecimal; else the default.
  std::int32_t ReadInteger(const std::string& section, const std::string& key,
                           std::int32_t fallback) const;
  // A real number with "." as decimal separator; else the default.
  double ReadFloat(const std::string& section, const std::string& key, double fallback) const;
  // Anything but 0 is true.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

  // Replaces the first such key, or appends it to the section (appended
  // itself when missing). Other lines stay as they were.
  void Write(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, std::int64_t value);
  void WriteFloat(const std::string& section, const std::string& key, double value);

  const std::vector<std::string>& SectionNames() const { return Order; }
  // Adds the bytes mark when some text is not UTF-8.
  std::string ToText() const;
  // Through a temporary file in the same folder, flushed to disk, then
  // renamed over the old file. False, with the reason, on any failure; the
  // old file is then untouched.
  TResult Save(const std::string& path) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  static TIniFile ParseLines(const std::string& text, bool fromCp932);
  bool NeedsBytesMark() const;
  const Section* Find(const std::string& section) const;
  Section& Add(const std::string& name);
  std::vector<Section> Sections;
  std::vector<std::string> Order;
  // Section numbers by lower-cased name: lookups stay constant however
  // many sections a file has.
  std::unordered_map<std::string, std::size_t> Index;
};

// The general real format of the project file: up to 15 significant
// digits, fixed notation from 0.00001 up to 15 integer digits, otherwise
// scientific with an E (0.05, 0.660146699266504, 1E-6, 1.5E20).
std::string FormatReal(double value);
// Whole-string integer parse of the project file (decimal or 0x hex).
std::optional<std::int32_t> ParseInteger(const std::string& text);
std::optional<double> ParseReal(const std::string& text);

}  // namespace kalvane
