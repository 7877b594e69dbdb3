// swfcombine: puts one movie inside another, as the classic tool of that
// name does: swfcombine -o OUT MASTER NAME=SLAVE writes the master movie
// with the slave movie playing inside the sprite placed as NAME.
#include <iostream>
#include <string>
#include <vector>

#include "swf/ByteStream.h"
#include "swf/SwfCombine.h"

namespace {

constexpr const char* kUsage =
    "usage: swfcombine [-o OUT.swf] MASTER.swf NAME=SLAVE.swf...\n"
    "  writes MASTER with each SLAVE's frames inside the sprite that MASTER\n"
    "  places under the instance name NAME (default output output.swf)\n";

int Usage(const std::string& why) {
  std::cerr << "swfcombine: " << why << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalvane;
  std::string output = "output.swf", master;
  std::vector<std::pair<std::string, std::string>> slaves;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "-o") {
      if (i + 1 >= argc) return Usage("-o needs a file name");
      output = argv[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + a);
    } else if (master.empty()) {
      master = a;
    } else {
      const std::size_t eq = a.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == a.size())
        return Usage("'" + a + "' is not NAME=SLAVE.swf");
      slaves.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }
  }
  if (master.empty()) return Usage("no master movie given");
  if (slaves.empty()) return Usage("no movie to insert given (NAME=SLAVE.swf)");
  try {
    TSwfFile movie = TSwfFile::Read(master);
    for (const auto& [name, slave] : slaves) {
      try {
        movie = CombineIntoSprite(movie, name, TSwfFile::Read(slave));
      } catch (const TSwfError& e) {
        throw TSwfError(master + " with " + slave + ": " + e.what());
      }
    }
    movie.Save(output);
  } catch (const TSwfError& e) {
    std::cerr << "swfcombine: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
