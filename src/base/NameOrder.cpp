#include "base/NameOrder.h"

#include <algorithm>

namespace kalvane {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Where a character that is not a digit sorts: spaces and punctuation
// first, then numbers, then letters without regard to case, then bytes of
// other scripts (UTF-8) as they are.
int Rank(unsigned char c) {
  if (c >= 0x80) return 3;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return 2;
  return 0;
}
constexpr int kNumberRank = 1;

unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// The digit run starting at `at`, without its leading zeros (any length:
// a run of forty digits is still a number, not an overflow).
std::string_view DigitRun(std::string_view s, std::size_t& at) {
  std::size_t begin = at;
  while (at < s.size() && IsDigit(s[at]))
    ++at;
  while (begin + 1 < at && s[begin] == '0')
    ++begin;
  return s.substr(begin, at - begin);
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool numberA = IsDigit(a[i]), numberB = IsDigit(b[j]);
    if (numberA && numberB) {
      const std::string_view x = DigitRun(a, i), y = DigitRun(b, j);
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (const int c = x.compare(y); c != 0) return Sign(c);
      continue;
    }
    const auto x = Lower(static_cast<unsigned char>(a[i]));
    const auto y = Lower(static_cast<unsigned char>(b[j]));
    const int rankX = numberA ? kNumberRank : Rank(x), rankY = numberB ? kNumberRank : Rank(y);
    if (rankX != rankY) return rankX < rankY ? -1 : 1;
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return Sign(a.compare(b));
}

void SortNames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return CompareNames(a, b) < 0;
  });
}

}  // namespace kalvane
