#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// Folders. Results end with "/".
std::string GetAppFolder();  // folder of the running program
// What the programs ship: an installed program finds it at the place the
// build was configured with, relative to its own folder (so a tree
// installed under any prefix works); a build tree holds it beside the
// programs. GetDataFolder: template/, velzoom/, help/, icons/, samples/,
// template_m/. GetHelperFolder: the mobile export's jpeg2swf, swfcombine.
std::string GetDataFolder();
std::string GetHelperFolder();
std::string GetTemplateFolder();  // GetDataFolder() + "template/"
// `programFolder` + `relative` (normalized) when `marker` is there, else
// `programFolder` itself.
std::string InstalledFolder(const std::string& programFolder, const std::string& relative,
                            const std::string& marker);
std::string GetTempFolder();  // the system's temporary folder
// The user's own folder for exports' working files (frames, the mobile
// tools' files, the export lock), made (0700) when missing: "kalvane" in
// $XDG_RUNTIME_DIR when that is a folder of ours nobody else may enter,
// else in the user's cache folder ($XDG_CACHE_HOME, ~/.cache). Every
// process of the user finds the same folder there, so the export lock
// works across them, and no other user can make it first: neither lies in
// a folder others may write. With neither, a folder of a random name in
// the temporary folder, for this process alone (then nothing is shared to
// lock), removed when it ends. Empty only when not even that can be made.
std::string GetExportTempFolder();
// Fails, with the reason, when GetExportTempFolder has no folder to give.
TResult PrepareExportTempFolder();
// $XDG_CONFIG_HOME/Kalvane/ (default ~/.config/Kalvane/), created when missing.
std::string GetUserDataFolder();

// The folder with one trailing "/" (empty stays empty).
std::string WithTrailingSlash(std::string folder);

// Extension, lower-cased, exactly one of .bmp .jpg .gif .png .tif.
bool IsImageFile(const std::string& path);
// Both take "\" and "/" as separators, so Windows paths work too.
std::string ExtractName(const std::string& path);
std::string GetFolderOf(const std::string& path);  // with its trailing separator

// File attributes as the folder listing compares them. On this platform a
// folder is read-only when its owner may not write it and hidden when its
// name starts with "."; system and archive are never set.
enum TFileAttribute : int {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faDirectory = 0x10,
  faArchive = 0x20,
};
int GetFileAttributesOf(const std::string& path);
// Entries whose attribute set equals `attributes` exactly; "." and ".."
// never. Missing folders give an empty list.
std::vector<std::string> ListFolders(const std::string& folder, int attributes);
// Every entry that is not a folder.
std::vector<std::string> ListFiles(const std::string& folder);
// The photos named on a command line or dropped, in name order: the files
// `accept` takes from each folder (not its subfolders), and each file named
// itself. A named file `accept` does not take is refused, saying it is not
// `kinds`, unless `anyFile`; a name that is nothing is refused.
TResult CollectFiles(const std::vector<std::string>& args, bool (*accept)(const std::string&),
                     const std::string& kinds, bool anyFile, std::vector<std::string>& files);
// Size in bytes, or -1 when nothing is there. 64-bit: large files are fine.
std::int64_t GetFileSizeOf(const std::string& path);

std::string QuoteText(const std::string& text);
void ReverseStrings(std::vector<std::string>& strings);
// Copies the file; refuses (false) when the target exists or anything fails,
// and then leaves no partial target behind.
bool CopyNewFile(const std::string& source, const std::string& target);

}  // namespace kalvane
