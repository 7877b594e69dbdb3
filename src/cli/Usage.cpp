#include "cli/Usage.h"

namespace kalvane::cli {

namespace {

// One command: its synopsis (continuation lines indented from "kalvane-cli")
// and what it does, the first line led by its name.
struct TCommandUsage {
  const char* Name;
  const char* Synopsis;
  const char* Text;
};

constexpr TCommandUsage kCommands[] = {
    {"load", "kalvane-cli load [IMAGE|FOLDER ...]\n",
     "load    Loads photographs into an item list as the editor does and reports\n"
     "        the items' display sizes, the work-bitmap size and the time taken.\n"
     "        Folders contribute their image files; all photos are taken in the\n"
     "        editor's order (numbers in names by value, letters without regard\n"
     "        to case: p2, P3, p10). Without arguments the bundled sample\n"
     "        photographs are loaded.\n"},
    {"info", "kalvane-cli info PROJECT.vpj\n",
     "info    Shows what a project holds (items with their paths and offsets,\n"
     "        rotation, guides, trimming box) and which images are missing.\n"},
    {"export",
     "kalvane-cli export PROJECT.vpj -o OUT.swf [--width N] [--search DIR]\n"
     "                   [--skip-unreadable]\n",
     "export  Writes the PC data movie of a project: one frame per item, cut to\n"
     "        the trimming box, N pixels wide (default 500, at most 2500).\n"
     "        --search DIR looks for moved images in DIR; without it a missing\n"
     "        image is an error. A photo that cannot be read, or that has the\n"
     "        name of an earlier one, is an error too, all such photos named in\n"
     "        one run; --skip-unreadable names each and exports the others\n"
     "        (export and design).\n"},
    {"mobile", "kalvane-cli mobile PROJECT.vpj -o OUT.swf [--search DIR] [--skip-unreadable]\n",
     "mobile  Writes the movie for phones: frames 160 pixels wide, made into a\n"
     "        movie by jpeg2swf and put into template_m/velmobile.swf by\n"
     "        swfcombine (both installed with the program); warns when the movie has\n"
     "        100000 bytes or more, which some phones do not play.\n"},
    {"designs", "kalvane-cli designs\n",
     "designs Lists the installed design templates as THEME/DESIGN.\n"},
    {"design",
     "kalvane-cli design PROJECT.vpj --design THEME/DESIGN -o FOLDER [--width N]\n"
     "                   [--search DIR] [--no-help] [--overwrite] [--title TEXT]\n"
     "                   [--description TEXT] [--autoplay none|once|loop]\n"
     "                   [--resume-after S] [--on-touch stop|pause] [--load-on near|click]\n",
     "design  Writes a complete page set into FOLDER (made if missing): the\n"
     "        design's files and the data movie veldata.swf (--no-help: no\n"
     "        operation help in the viewer), its first frame poster.jpg,\n"
     "        veldata-2x.swf at twice the width (at most 2500) for zooming,\n"
     "        viewer.html, the viewer alone, and embed.html, an iframe of it to\n"
     "        paste into a shop's page. --title names the product in the page's\n"
     "        title, heading and viewer; --description is the text beside it\n"
     "        (without one the page has none).\n"
     "        The viewer's own turn: --autoplay none, once (one turn) or loop;\n"
     "        --resume-after S turns again after S seconds without the visitor\n"
     "        (0: never); --on-touch pause only pauses the turn while the\n"
     "        visitor holds it (stop: for good); --load-on click loads the movie\n"
     "        on a click of its poster (near: as it comes near the screen).\n"
     "        What is not given stays as the design has it.\n"
     "        An earlier page set there is replaced; other files of the same names\n"
     "        only with --overwrite. The root, the home folder itself and system\n"
     "        folders are refused.\n"},
    {"serve", "kalvane-cli serve FOLDER [--port N]\n",
     "serve   Serves FOLDER on http://127.0.0.1 so a browser can open a page set\n"
     "        (browsers do not let pages opened from disk read their data files).\n"},
    {"preview", "kalvane-cli preview PROJECT.vpj [--width N] [--search DIR]\n",
     "preview The HTML preview: the data movie tmp.swf next to the viewer page\n"
     "        tmp.html in the temporary folder, served as serve does.\n"},
    {"align", "kalvane-cli align PROJECT.vpj -o OUT.vpj [--region L,T,R,B] [--search DIR]\n",
     "align   Finds the offsets that cancel the camera shake between the photos\n"
     "        (each compared with the first) and writes the project with them;\n"
     "        --region limits the comparison to part of the image (fractions).\n"},
    {"new",
     "kalvane-cli new IMAGE|FOLDER ... -o PROJECT.vpj [--align]\n"
     "                [--rotate 90|180|270] [--box L,T,R,B]\n",
     "new     Makes a project of photos and folders' photos, in the editor's\n"
     "        order (as load takes them); --align finds their offsets as align\n"
     "        does; --rotate turns them a quarter, half or three-quarter turn\n"
     "        counter-clockwise; --box sets the trimming box (fractions of the\n"
     "        image, left < right, top < bottom; default 0.05,0.05,0.95,0.95).\n"
     "        A photo that cannot be read, or that has the name of an earlier\n"
     "        one, is named and no project is written.\n"},
    {"frames",
     "kalvane-cli frames PROJECT.vpj -o FOLDER [--count N] [--size PX] [--square]\n"
     "                   [--background white|#RRGGBB|transparent]\n"
     "                   [--format jpg|png|webp] [--quality Q] [--name TEMPLATE] [--zip]\n"
     "                   [--max-bytes N]\n",
     "frames  Writes the frames of the data movie as numbered pictures into FOLDER:\n"
     "        --count N takes N photos evenly spaced around the turn (default all);\n"
     "        --size PX makes the longer side PX pixels (default: 500 wide, as the\n"
     "        data movie; at most 2500); --square pads each to a square on the\n"
     "        --background (default white; transparent only for png and webp);\n"
     "        --format jpg (default), png or webp at --quality Q (1 to 100,\n"
     "        default 85; --max-bytes N lowers it, frame by frame, to the highest\n"
     "        that keeps the file within N bytes, never below 60); --name TEMPLATE names them "
     "(default {name}_{index:02}:\n"
     "        {name} the project file's name, {index} counting from 1, {angle} in\n"
     "        degrees, :02 pads to two digits); --zip puts them in FOLDER/{name}.zip\n"
     "        instead. The set is made beside FOLDER and put in place when\n"
     "        complete, replacing the project's earlier set there as a whole (noted\n"
     "        in FOLDER/.kalvane-frames-{name}); other files there stay, links in\n"
     "        FOLDER are never followed, and a write-protected frame or zip is not\n"
     "        replaced. The root, the home folder itself and system folders are\n"
     "        refused; no name may hold a \"\\\" or a control character.\n"},
    {"anim", "kalvane-cli anim PROJECT.vpj -o OUT.webp|OUT.gif [--width N] [--fps F] [--loop N]\n",
     "anim    Writes every frame as an animated WebP or GIF (by the extension),\n"
     "        N pixels wide (default 500) at F frames a second (default 8, the\n"
     "        simple preview's), played N times with --loop (default for ever).\n"
     "        A GIF shows 50 frames a second at most, a WebP 90.9; the frames wait\n"
     "        on disk (in the temporary folder) until the encoder takes them.\n"},
    {"video",
     "kalvane-cli video PROJECT.vpj -o OUT.mp4|OUT.webm [--width N] [--fps F]\n"
     "                  [--min-seconds S] [--quality Q]\n",
     "video   Writes every frame as a video: H.264 in MP4 (the index at the front,\n"
     "        so it plays while loading) or VP9 in WebM, by the extension; N\n"
     "        pixels wide (even, default 500; the height goes to an even number,\n"
     "        by one pixel at most) at F frames a second (0.01 to 100, default 8,\n"
     "        the simple preview's); --min-seconds S shows the turn again, whole turns, until\n"
     "        the video lasts S seconds or more (Google Merchant asks for 6);\n"
     "        --quality Q from 0 to 100 (default 75, the encoders' usual level).\n"},
    {"check",
     "kalvane-cli check FOLDER|SET.zip|VIDEO --for amazon|walmart|google|shopify [--json]\n",
     "check   Checks a set of frames (a folder or a zip, in the order of their\n"
     "        names) or a video against a marketplace's rules and prints each\n"
     "        rule, passed or not, with the frames at fault and what was\n"
     "        measured (--json: the same as JSON). amazon: 24, 48 or 72 square\n"
     "        JPEG or PNG frames of 1500 to 2500 pixels, a white border (a ring\n"
     "        1 % of the side wide, no channel below 250), the product filling\n"
     "        85 % of the side in one frame and centred within 2 %, names\n"
     "        numbered in order. walmart: exactly 24 JPEG or PNG frames of at\n"
     "        most 1.5 MB, a white border. google, shopify: a video in MP4\n"
     "        (H.264, yuv420p; 6 s at least for google), or JPEG, PNG or WebP\n"
     "        frames of at most 4472 pixels, numbered in order.\n"
     "        Exit status 0 when every rule passes, 1 when one fails.\n"},
    {"batch",
     "kalvane-cli batch MANIFEST.jsonl -o OUTDIR [--shard I/N] [--jobs J] [--force]\n"
     "                  [--dry-run]\n",
     "batch   Makes every product of a manifest (JSON Lines, one product a line:\n"
     "        id, photos or project, prepare, align, rotate, box, title, design,\n"
     "        outputs) into OUTDIR/ID/: the project ID.vpj and each output by its\n"
     "        fixed name (swf veldata.swf, mobile mobile.swf, pageset site/,\n"
     "        frames frames/, amazon ID-amazon.zip, mp4 webm webp gif ID.EXT),\n"
     "        then result.json. A product done earlier with the same line,\n"
     "        photos and version is skipped (--force makes it again); one that\n"
     "        another run is making is left to it (busy). Each run appends a line\n"
     "        a product to OUTDIR/report-I-of-N.jsonl. --shard I/N takes the\n"
     "        products whose id's FNV-1a 64 hash mod N is I; without it the shard\n"
     "        comes from a Slurm, Kubernetes, AWS Batch or Cloud Run array job's\n"
     "        environment, else all. --jobs J makes J products at once (default\n"
     "        1); --dry-run says what would run and writes nothing. A manifest\n"
     "        error names its line and column and runs nothing (status 2); a\n"
     "        failed product does not stop the others (status 1).\n"},
};

constexpr const char* kOptions =
    "Options may come before or after the arguments, a value after a space or\n"
    "an = (--width=300); \"--\" ends the options. A folder given with --search\n"
    "must exist. A file given with -o is replaced unless it is write-protected.\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 bad usage.\n";

std::string& Current() {
  static std::string command;
  return command;
}

// Every line of `synopsis` after "usage: " or under it.
void PrintSynopsis(std::ostream& out, const std::string& synopsis, bool& first) {
  std::size_t start = 0;
  while (start < synopsis.size()) {
    const std::size_t end = synopsis.find('\n', start);
    out << (first ? "usage: " : "       ") << synopsis.substr(start, end - start) << "\n";
    first = false;
    start = end + 1;
  }
}

}  // namespace

void SetUsageCommand(const std::string& command) {
  Current() = command;
}

const std::string& UsageCommand() {
  return Current();
}

void PrintUsage(std::ostream& out) {
  bool first = true;
  for (const TCommandUsage& c : kCommands)
    PrintSynopsis(out, c.Synopsis, first);
  PrintSynopsis(out, "kalvane-cli --help\nkalvane-cli --version\n", first);
  out << "\n";
  for (const TCommandUsage& c : kCommands)
    out << c.Text;
  out << "\n" << kOptions;
}

void PrintCommandUsage(std::ostream& out) {
  for (const TCommandUsage& c : kCommands) {
    if (Current() != c.Name) continue;
    bool first = true;
    PrintSynopsis(out, c.Synopsis, first);
    out << "\n" << c.Text << "\n" << kOptions;
    return;
  }
  PrintUsage(out);
}

}  // namespace kalvane::cli
