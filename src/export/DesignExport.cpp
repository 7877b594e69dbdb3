#include "export/DesignExport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/MarkedFolder.h"
#include "export/PageSetFolder.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// Sub-folders, also read-only ones: a packaged install makes them so, and
// they are designs all the same. Hidden ones are not listed.
std::vector<std::string> Folders(const std::string& parent) {
  std::vector<std::string> names = ListFolders(WithTrailingSlash(parent), faDirectory);
  for (std::string& name : ListFolders(WithTrailingSlash(parent), faDirectory | faReadOnly))
    names.push_back(std::move(name));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> TDesignExport::Themes(const std::string& templateFolder) {
  std::vector<std::string> themes = Folders(templateFolder);
  std::erase(themes, std::string("preview"));
  return themes;
}

std::vector<std::string> TDesignExport::Designs(const std::string& themeFolder) {
  return Folders(themeFolder);
}

std::string TDesignExport::StripColourHashes(const std::string& script) {
  std::string text = script;
  ReplaceAll(text, "var themeColor = \"#", "var themeColor = \"");
  ReplaceAll(text, "var bgcolor = \"#", "var bgcolor = \"");
  return text;
}

namespace {
bool WriteAll(int fd, const std::string& text);
}  // namespace

TDesignStage::TDesignStage() = default;
TDesignStage::~TDesignStage() = default;
TDesignStage::TDesignStage(TDesignStage&&) noexcept = default;
TDesignStage& TDesignStage::operator=(TDesignStage&&) noexcept = default;

void TDesignStage::Add(const std::string& name, const std::string& bytes) {
  if (!Outcome.Ok()) return;
  auto file = std::make_unique<TAtomicFile>(Folder + name, TReadOnly::Refuse, TLinks::Replace);
  if (!file->Ok()) {
    Outcome = TResult::Fail(TErrorCode::WriteFailed, file->Error());
    return;
  }
  if (!WriteAll(file->Handle(), bytes)) {
    Outcome = TResult::Fail(TErrorCode::WriteFailed,
                            Folder + name + ": cannot write (" + std::strerror(errno) + ")");
    return;
  }
  Names.push_back(name);
  Files.push_back(std::move(file));
  MovedFrom.emplace_back();
}

void TDesignStage::AddMoved(const std::string& path, const std::string& name) {
  if (!Outcome.Ok()) return;
  Names.push_back(name);
  Files.push_back(nullptr);
  MovedFrom.push_back(path);
}

TDesignResult TDesignStage::Commit() {
  TDesignResult result;
  if (!Outcome.Ok()) {
    static_cast<TResult&>(result) = Outcome;
    return result;
  }
  // A rename replaces what it finds: the places of the moved files are
  // looked at first, as a staged file's place was when it was made.
  std::vector<std::string> moved;
  for (std::size_t i = 0; i < Files.size(); ++i) {
    if (!Files[i]) moved.push_back(Names[i]);
  }
  if (const TResult free = TMarkedFolder(Folder, {}, {}).CheckEntries(moved); !free.Ok()) {
    static_cast<TResult&>(result) = free;
    return result;
  }
  for (std::size_t i = 0; i < Files.size(); ++i) {
    if (!Files[i]) {
      if (std::rename(MovedFrom[i].c_str(), (Folder + Names[i]).c_str()) != 0) {
        result.SetFailure(TErrorCode::WriteFailed, Folder + Names[i] + ": cannot put in place (" +
                                                       std::strerror(errno) + ")");
        return result;
      }
    } else if (!Files[i]->Commit()) {
      result.SetFailure(TErrorCode::WriteFailed, Files[i]->Error());
      return result;
    }
    result.Copied.push_back(Names[i]);
  }
  return result;
}

namespace {

// All of `path`, or nothing with `error` set.
bool ReadWhole(const std::string& path, std::string& text, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      close(fd);
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TDesignStage TDesignExport::StageDesign(const std::string& designFolder,
                                        const std::string& outputFolder, bool useHelp,
                                        const TPageOptions& page) {
  TDesignStage stage;
  const std::string from = WithTrailingSlash(designFolder), to = WithTrailingSlash(outputFolder);
  stage.Folder = to;
  std::error_code ec;
  if (!fs::is_directory(from, ec)) {
    stage.Outcome = TResult::Fail(TErrorCode::NotFound, designFolder + ": no such design");
    return stage;
  }
  if (!fs::is_directory(to, ec)) {
    stage.Outcome = TResult::Fail(TErrorCode::NotFound, outputFolder + ": no such folder");
    return stage;
  }
  std::vector<std::string> names = ListFiles(from);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name == "prev.jpg" || name == "prev.html" || name == TPageSetFolder::kMovieName ||
        name == TPageSetFolder::kLargeMovieName || name == TPageSetFolder::kPosterName ||
        name == TPageSetFolder::kEmbedName || name == TPageSetFolder::kViewerPageName)
      continue;
    std::string text, error;
    if (!ReadWhole(from + name, text, error)) {
      stage.Outcome = TResult::Fail(
          TErrorCode::Unreadable, from + name + ": cannot read the design's file (" + error + ")");
      return stage;
    }
    if (name == "velzoom.js") {
      text = StripColourHashes(text);
      if (!useHelp) text = HelpSwitchedOff(text);
      if (page.Viewer) text = WithViewerSettings(text, *page.Viewer);
      text = WithScriptValue(text, "poster", page.Poster);
      text = WithScriptValue(text, "largeMovie", page.LargeMovie);
    } else if (name.ends_with(".html")) {
      text = WithDescription(WithTitle(text, page.Title), page.Description);
    }
    // A link in the output folder is replaced, never written through.
    auto file = std::make_unique<TAtomicFile>(to + name, TReadOnly::Refuse, TLinks::Replace);
    if (!file->Ok()) {
      stage.Outcome = TResult::Fail(TErrorCode::WriteFailed, file->Error());
      return stage;
    }
    if (!WriteAll(file->Handle(), text)) {
      stage.Outcome = TResult::Fail(TErrorCode::WriteFailed,
                                    to + name + ": cannot write (" + std::strerror(errno) + ")");
      return stage;
    }
    stage.Names.push_back(name);
    stage.Files.push_back(std::move(file));
    stage.MovedFrom.emplace_back();
  }
  return stage;
}

TDesignResult TDesignExport::CopyDesign(const std::string& designFolder,
                                        const std::string& outputFolder, bool useHelp,
                                        const TPageOptions& page) {
  return StageDesign(designFolder, outputFolder, useHelp, page).Commit();
}

namespace {

const char* Flag(bool on) {
  return on ? "true" : "false";
}

}  // namespace

std::optional<std::string> ScriptValue(const std::string& script, const std::string& name) {
  const std::string head = "var " + name + " = \"";
  const std::size_t at = script.find(head);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t from = at + head.size();
  const std::size_t end = script.find("\";", from);
  const std::size_t line = script.find('\n', from);
  if (end == std::string::npos || end > line) return std::nullopt;
  return script.substr(from, end - from);
}

std::string WithScriptValue(const std::string& script, const std::string& name,
                            const std::string& value) {
  const std::string head = "var " + name + " = \"";
  std::string text = script;
  for (std::size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
    const std::size_t from = at + head.size();
    const std::size_t end = text.find("\";", from);
    if (end == std::string::npos || end > text.find('\n', from)) continue;
    text.replace(from, end - from, value);
  }
  return text;
}

TViewerSettings ReadViewerSettings(const std::string& script) {
  TViewerSettings s;
  const auto flag = [&script](const char* name, bool& target) {
    const std::optional<std::string> v = ScriptValue(script, name);
    if (v == "true" || v == "false") target = *v == "true";
  };
  flag("autoplay", s.Autoplay);
  flag("spinOnce", s.SpinOnce);
  flag("stopOnTouch", s.StopOnTouch);
  if (const std::optional<std::string> v = ScriptValue(script, "resumeAfter")) {
    int seconds = 0;
    const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), seconds);
    if (ec == std::errc() && end == v->data() + v->size() && seconds >= 0 &&
        seconds <= TViewerSettings::kMaxResume)
      s.ResumeAfter = seconds;
  }
  if (const std::optional<std::string> v = ScriptValue(script, "loadOn")) {
    if (*v == "click" || *v == "near") s.LoadOnClick = *v == "click";
  }
  return s;
}

std::string WithViewerSettings(const std::string& script, const TViewerSettings& s) {
  std::string text = WithScriptValue(script, "autoplay", Flag(s.Autoplay));
  text = WithScriptValue(text, "spinOnce", Flag(s.SpinOnce));
  text = WithScriptValue(text, "stopOnTouch", Flag(s.StopOnTouch));
  text = WithScriptValue(text, "resumeAfter",
                         std::to_string(std::clamp(s.ResumeAfter, 0, TViewerSettings::kMaxResume)));
  return WithScriptValue(text, "loadOn", s.LoadOnClick ? "click" : "near");
}

std::string CleanTitle(const std::string& title) {
  std::string text;
  for (const char c : title)
    text += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string HtmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace {

// Text as compared for sameness: without blanks (ideographic ones too), ASCII
// letters in lower case.
std::string Folded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') continue;
    if (text.compare(i, 3, "\u3000") == 0) {
      i += 2;
      continue;
    }
    out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

// The page's <title> without the parts after the name that the name already
// says: "Mug 360°ビュー | 360°ビュー" would say it twice.
std::string WithoutRepeats(const std::string& page, const std::string& name) {
  const std::size_t open = page.find("<title>");
  if (open == std::string::npos) return page;
  const std::size_t from = open + 7;
  const std::size_t close = page.find("</title>", from);
  if (close == std::string::npos) return page;
  const std::string folded = Folded(name);
  const std::string title = page.substr(from, close - from);
  static const std::string kSeparator = " | ";
  std::string kept;
  std::size_t at = 0;
  for (bool first = true; at <= title.size(); first = false) {
    std::size_t end = title.find(kSeparator, at);
    if (end == std::string::npos) end = title.size();
    const std::string part = title.substr(at, end - at);
    const bool repeat = part.find(kTitlePlaceholder) == std::string::npos &&
                        !Folded(part).empty() && folded.find(Folded(part)) != std::string::npos;
    if (!repeat) kept += (first || kept.empty() ? "" : kSeparator) + part;
    at = end + kSeparator.size();
  }
  return page.substr(0, from) + kept + page.substr(close);
}

}  // namespace

std::string WithTitle(const std::string& page, const std::string& title) {
  const std::string clean = CleanTitle(title);
  if (clean.empty()) return page;
  std::string text = WithoutRepeats(page, clean);
  ReplaceAll(text, kTitlePlaceholder, HtmlEscaped(clean));
  return text;
}

std::string WithDescription(const std::string& page, const std::string& description) {
  const std::size_t mark = page.find("data-vz-description");
  if (mark == std::string::npos) return page;
  const std::size_t open = page.rfind('<', mark);
  const std::size_t inner = page.find('>', mark);
  if (open == std::string::npos || inner == std::string::npos) return page;
  std::size_t nameEnd = open + 1;
  while (nameEnd < page.size() && std::isalnum(static_cast<unsigned char>(page[nameEnd])))
    ++nameEnd;
  const std::string closeTag = "</" + page.substr(open + 1, nameEnd - open - 1) + ">";
  const std::size_t close = page.find(closeTag, inner);
  if (close == std::string::npos) return page;

  // Its lines, each as one clean line, without blank ones at the ends.
  std::vector<std::string> lines;
  for (std::size_t at = 0; at <= description.size();) {
    const std::size_t end = std::min(description.find('\n', at), description.size());
    lines.push_back(CleanTitle(description.substr(at, end - at)));
    at = end + 1;
  }
  const auto first = std::find_if(lines.begin(), lines.end(), [](auto& l) { return !l.empty(); });
  const auto last = std::find_if(lines.rbegin(), lines.rend(), [](auto& l) { return !l.empty(); });
  std::string body;
  for (auto line = first; line != lines.end() && line < last.base(); ++line)
    body += (line == first ? "" : "<br>\n") + HtmlEscaped(*line);

  if (!body.empty()) return page.substr(0, inner + 1) + body + page.substr(close);
  // Nothing to say: the element goes, and its line when it had one alone.
  std::size_t from = open, to = close + closeTag.size();
  const std::size_t before = page.rfind('\n', open);
  const std::size_t lineStart = before == std::string::npos ? 0 : before + 1;
  const std::size_t lineEnd = std::min(page.find('\n', to), page.size());
  const auto blank = [&page](std::size_t a, std::size_t b) {
    return page.find_first_not_of(" \t", a) >= b;
  };
  if (blank(lineStart, open) && blank(to, lineEnd)) {
    from = lineStart;
    to = std::min(lineEnd + 1, page.size());
  }
  return page.substr(0, from) + page.substr(to);
}

std::string ViewerPage(const std::string& title) {
  const std::string clean = CleanTitle(title);
  const std::string name = HtmlEscaped(clean.empty() ? "360°ビュー" : clean);
  return "<!doctype html>\n"
         "<html lang=\"ja\">\n"
         "<head>\n"
         "<meta charset=\"utf-8\">\n"
         "<link rel=\"icon\" href=\"data:,\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>" +
         name +
         "</title>\n"
         "<style>html, body, .viewer { height: 100%; margin: 0; overflow: hidden; }</style>\n"
         "</head>\n"
         "<body>\n"
         "<div class=\"viewer\" data-velzoom=\"veldata.swf\" data-fill aria-label=\"" +
         name +
         "\"></div>\n"
         "<noscript><p>このビューアーを表示するには JavaScript "
         "を有効にしてください。</p></noscript>\n"
         "<script src=\"velzoom.js\"></script>\n"
         "</body>\n"
         "</html>\n";
}

std::string EmbedSnippet(const std::string& title, int width, int height) {
  const std::string clean = CleanTitle(title);
  const std::string name = HtmlEscaped(clean.empty() ? "360°ビュー" : clean);
  // The frame's height follows its width: the picture at the movie's shape,
  // with the control strip under it (padding in percent is of the width).
  return "<!-- 360°ビュー: ショップのページのこの場所に貼り付けてください。src "
         "は、このフォルダーの "
         "viewer.html をそのページから見たアドレスに合わせます。 -->\n"
         "<div style=\"max-width:960px\"><div style=\"position:relative;padding-top:calc(100% * " +
         std::to_string(std::max(height, 1)) + " / " + std::to_string(std::max(width, 1)) + " + " +
         std::to_string(kViewerStripHeight) +
         "px)\">"
         "<iframe src=\"viewer.html\" title=\"" +
         name +
         "\" allow=\"fullscreen\" loading=\"lazy\" "
         "style=\"position:absolute;inset:0;width:100%;height:100%;border:0\"></iframe>"
         "</div></div>\n";
}

std::string HelpSwitchedOff(const std::string& script) {
  static const std::string kOn = "var help = \"true\";";
  static const std::string kOff = "var help = \"false\";";
  std::string text = script;
  ReplaceAll(text, kOn, kOff);
  return text;
}

TResult DisableHelp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  // Through a temporary file, so a full disk cannot leave half a script.
  return WriteFileAtomically(path, HelpSwitchedOff(text));
}

}  // namespace kalvane
