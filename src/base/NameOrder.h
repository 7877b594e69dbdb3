#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalvane {

// The order photos are added in, the same in the editor and on the command
// line: runs of digits compare as numbers (p2 before p10), letters without
// regard to case (p2 before P3); spaces and punctuation go before numbers,
// numbers before letters (img_2, img2, imgA). Names equal by that rule (p2, P2, p02) are
// put in a fixed order by their bytes, so the result never depends on the
// order they came in.
//
// Negative, zero or positive as `a` goes before, with or after `b`.
int CompareNames(std::string_view a, std::string_view b);

// Sorts paths by CompareNames; identical paths keep their order.
void SortNames(std::vector<std::string>& names);

}  // namespace kalvane
