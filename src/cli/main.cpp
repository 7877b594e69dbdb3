// kalvane-cli: the headless side of Kalvane.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: kalvane-cli load [IMAGE|FOLDER ...]\n"
         "       kalvane-cli info PROJECT.vpj\n"
         "       kalvane-cli export PROJECT.vpj -o OUT.swf [--width N] [--search DIR]\n"
         "                          [--skip-unreadable]\n"
         "       kalvane-cli mobile PROJECT.vpj -o OUT.swf [--search DIR] [--skip-unreadable]\n"
         "       kalvane-cli designs\n"
         "       kalvane-cli design PROJECT.vpj --design THEME/DESIGN -o FOLDER [--width N]\n"
         "                          [--search DIR] [--no-help] [--overwrite]\n"
         "       kalvane-cli serve FOLDER [--port N]\n"
         "       kalvane-cli preview PROJECT.vpj [--width N] [--search DIR]\n"
         "       kalvane-cli align PROJECT.vpj -o OUT.vpj [--region L,T,R,B] [--search DIR]\n"
         "       kalvane-cli --help\n"
         "\n"
         "load    Loads photographs into an item list as the editor does and reports\n"
         "        the items' display sizes, the work-bitmap size and the time taken.\n"
         "        Folders contribute their image files in name order. Without\n"
         "        arguments the bundled sample photographs are loaded.\n"
         "info    Shows what a project holds (items with their paths and offsets,\n"
         "        rotation, guides, trimming box) and which images are missing.\n"
         "export  Writes the PC data movie of a project: one frame per item, cut to\n"
         "        the trimming box, N pixels wide (default 500, at most 2500).\n"
         "        --search DIR looks for moved images in DIR; without it a missing\n"
         "        image is an error. A photo that cannot be read, or that has the\n"
         "        name of an earlier one, is an error too; --skip-unreadable names\n"
         "        each and exports the others (export and design).\n"
         "mobile  Writes the movie for phones: frames 160 pixels wide, made into a\n"
         "        movie by jpeg2swf and put into template_m/velmobile.swf by\n"
         "        swfcombine (both beside the program); warns when the movie has\n"
         "        100000 bytes or more, which some phones do not play.\n"
         "designs Lists the installed design templates as THEME/DESIGN.\n"
         "design  Writes a complete page set into FOLDER: the design's files and the\n"
         "        data movie veldata.swf (--no-help: no operation help in the viewer).\n"
         "        An earlier page set there is replaced; other files of the same names\n"
         "        only with --overwrite. The root, the home folder itself and system\n"
         "        folders are refused.\n"
         "serve   Serves FOLDER on http://127.0.0.1 so a browser can open a page set\n"
         "        (browsers do not let pages opened from disk read their data files).\n"
         "preview The HTML preview: the data movie tmp.swf next to the viewer page\n"
         "        tmp.html in the temporary folder, served as serve does.\n"
         "align   Finds the offsets that cancel the camera shake between the photos\n"
         "        (each compared with the first) and writes the project with them;\n"
         "        --region limits the comparison to part of the image (fractions).\n"
         "\n"
         "Exit status: 0 done, 1 failed, 2 bad usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalvane::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr);
    return kUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(std::cout);
    return kDone;
  }
  if (command == "load") return Load(args);
  if (command == "info") return Info(args);
  if (command == "export") return Export(args);
  if (command == "mobile") return Mobile(args);
  if (command == "designs") return Designs(args);
  if (command == "design") return Design(args);
  if (command == "serve") return Serve(args);
  if (command == "preview") return Preview(args);
  if (command == "align") return Align(args);
  std::cerr << "kalvane-cli: unknown command '" << command << "'\n";
  PrintUsage(std::cerr);
  return kUsage;
}
