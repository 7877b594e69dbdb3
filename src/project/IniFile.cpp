#include "project/IniFile.h"

#include <iconv.h>
#include <cctype>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "base/AtomicFile.h"

namespace kalvane {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && Lower(a) == Lower(b);
}

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const std::size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool ValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    if (c < 0x80) {
      length = 1;
    } else if ((c >> 5) == 0x6) {
      length = 2;
    } else if ((c >> 4) == 0xE) {
      length = 3;
    } else if ((c >> 3) == 0x1E) {
      length = 4;
    } else {
      return false;
    }
    if (i + length > s.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// Shift-JIS (CP932) to UTF-8; bytes that do not convert become U+FFFD.
std::string FromCp932(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string out;
  std::vector<char> buffer(4096);
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  while (left > 0) {
    char* dst = buffer.data();
    std::size_t room = buffer.size();
    const std::size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      out += "\xEF\xBF\xBD";  // an invalid or cut sequence: skip one byte
      ++src;
      --left;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

TIniFile TIniFile::Parse(const std::string& raw) {
  if (raw.size() > kMaxFileSize) return {};
  std::string text = raw;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  TIniFile asWritten = ParseLines(text, false);
  if (ValidUtf8(text)) return asWritten;
  const auto mark = asWritten.Sections.empty()
                        ? std::nullopt
                        : asWritten.Read(asWritten.Sections.front().name, kEncodingKey);
  if (mark == kEncodingBytes) return asWritten;
  return ParseLines(text, true);
}

TIniFile TIniFile::ParseLines(const std::string& text, bool fromCp932) {
  TIniFile ini;
  std::size_t current = SIZE_MAX;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // Each line on its own: one file name from a Windows archive must not
    // turn every other (UTF-8) path of the project into CP932.
    if (fromCp932 && !ValidUtf8(line)) line = FromCp932(line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (trimmed[0] == '[') {
      const std::size_t close = trimmed.find(']');
      if (close == std::string::npos) continue;
      const std::string name = Trim(trimmed.substr(1, close - 1));
      // Later duplicates add to the first.
      const auto found = ini.Index.find(Lower(name));
      if (found != ini.Index.end()) {
        current = found->second;
      } else {
        ini.Add(name);
        current = ini.Sections.size() - 1;
      }
      continue;
    }
    const std::size_t eq = trimmed.find('=');
    if (current == SIZE_MAX || eq == std::string::npos) continue;
    std::string value = Trim(trimmed.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    ini.Sections[current].entries.push_back({Trim(trimmed.substr(0, eq)), value});
  }
  return ini;
}

TIniFile TIniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileSize) return {};
  in.seekg(0);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.read(bytes.data(), size);
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return Parse(bytes);
}

const TIniFile::Section* TIniFile::Find(const std::string& section) const {
  const auto found = Index.find(Lower(section));
  return found == Index.end() ? nullptr : &Sections[found->second];
}

TIniFile::Section& TIniFile::Add(const std::string& name) {
  Index.emplace(Lower(name), Sections.size());
  Sections.push_back({name, {}});
  Order.push_back(name);
  return Sections.back();
}

bool TIniFile::HasSection(const std::string& section) const {
  return Find(section) != nullptr;
}

std::optional<std::string> TIniFile::Read(const std::string& section,
                                          const std::string& key) const {
  const Section* s = Find(section);
  if (!s) return std::nullopt;
  for (const Entry& e : s->entries) {
    if (SameName(e.key, key)) return e.value;
  }
  return std::nullopt;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  return Read(section, key).value_or(fallback);
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                   std::int32_t fallback) const {
  const auto text = Read(section, key);
  if (!text) return fallback;
  return ParseInteger(*text).value_or(fallback);
}

double TIniFile::ReadFloat(const std::string& section, const std::string& key,
                           double fallback) const {
  const auto text = Read(section, key);
  if (!text) return fallback;
  return ParseReal(*text).value_or(fallback);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  const auto text = Read(section, key);
  if (!text) return fallback;
  const auto value = ParseInteger(*text);
  return value ? *value != 0 : fallback;
}

void TIniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
  Section* s = const_cast<Section*>(Find(section));
  if (!s) s = &Add(section);
  for (Entry& e : s->entries) {
    if (SameName(e.key, key)) {
      e.value = value;
      return;
    }
  }
  s->entries.push_back({key, value});
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            std::int64_t value) {
  Write(section, key, std::to_string(value));
}

void TIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
  Write(section, key, FormatReal(value));
}

bool TIniFile::NeedsBytesMark() const {
  for (const Section& s : Sections) {
    if (!ValidUtf8(s.name)) return true;
    for (const Entry& e : s.entries) {
      if (!ValidUtf8(e.key) || !ValidUtf8(e.value)) return true;
    }
  }
  return false;
}

std::string TIniFile::ToText() const {
  // Only files that need it are marked: the others stay as every reader,
  // also the Windows one, takes them.
  const bool mark = NeedsBytesMark();
  std::string text;
  for (const Section& s : Sections) {
    const bool first = &s == &Sections.front();
    text += "[" + s.name + "]\n";
    for (const Entry& e : s.entries) {
      if (mark && first && SameName(e.key, kEncodingKey)) continue;
      // Values the reader would trim or unquote are written in quotes, so
      // they come back as they were.
      const bool quote = !e.value.empty() &&
                         (std::isspace(static_cast<unsigned char>(e.value.front())) ||
                          std::isspace(static_cast<unsigned char>(e.value.back())) ||
                          (e.value.size() >= 2 && e.value.front() == '"' && e.value.back() == '"'));
      text += e.key + "=" + (quote ? "\"" + e.value + "\"" : e.value) + "\n";
    }
    if (mark && first) text += std::string(kEncodingKey) + "=" + kEncodingBytes + "\n";
  }
  return text;
}

TResult TIniFile::Save(const std::string& path) const {
  return WriteFileAtomically(path, ToText());
}

std::string FormatReal(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // 15 significant digits, then the layout by the decimal exponent.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  std::string text = buffer;
  const std::size_t e = text.find('e');
  const int exponent = std::atoi(text.c_str() + e + 1);
  const bool negative = text[0] == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
    if (text[i] != '.') digits += text[i];
  }
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else if (digits.size() <= static_cast<std::size_t>(exponent) + 1) {
      out += digits + std::string(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
    } else {
      out += digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
             digits.substr(static_cast<std::size_t>(exponent) + 1);
    }
    return out;
  }
  out += digits.substr(0, 1);
  if (digits.size() > 1) out += "." + digits.substr(1);
  return out + "E" + std::to_string(exponent);
}

std::optional<std::int32_t> ParseInteger(const std::string& raw) {
  const std::string text = Trim(raw);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string hex = text.substr(2);
    if (hex.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (ec != std::errc() || end != hex.data() + hex.size()) return std::nullopt;
    return static_cast<std::int32_t>(value);
  }
  std::int32_t value = 0;
  const char* begin = text.data();
  if (!text.empty() && text[0] == '+') ++begin;
  const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size() || begin == end) return std::nullopt;
  return value;
}

std::optional<double> ParseReal(const std::string& raw) {
  const std::string text = Trim(raw);
  if (text.empty()) return std::nullopt;
  // Digits, sign, point and exponent only: no hex floats, "nan" or "inf".
  if (text.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
  const char* begin = text.data();
  if (text[0] == '+') ++begin;
  double value = 0;
  const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace kalvane
