#pragma once

#include <string>

// What the project flows say to the user.
namespace kalvane {

inline constexpr const char* kLoadMessage = "データ読み込み中...";
inline constexpr const char* kImageFilter =
    "画像ファイル(*.jpg;*.png;*.tif;*.gif;*.bmp)|*.jpg;*.png;*.tif;*.gif;*.bmp";
inline constexpr const char* kSearchSameFolderQuestion =
    "以後の画像ファイルも同じフォルダから検索しますか？";
inline constexpr const char* kNoProjectCaption = "Kalvane ";

// The project's display name in the window caption.
inline std::string ProjectCaption(const std::string& projectPath) {
  return "Kalvane (" + projectPath + ")";
}
inline std::string RejectedMessage(int count) {
  return "登録できなかったファイルが" + std::to_string(count) +
         "個ありました。\r同一ファイル名などのアイテムは登録出来ません。";
}
// After the list of entries a project load could not take.
inline constexpr const char* kDroppedEntriesNote =
    "\rこれらの項目はプロジェクトを保存するとファイルから削除されます。";
inline std::string KeptWithoutPictureMessage(int count) {
  return "次の" + std::to_string(count) +
         "個の写真は読み込めなかったため、画像なしで登録しました。\r写真を直すか差し替えてから"
         "プロジェクトを開き直してください。";
}
inline std::string MissingPhotoTitle(const std::string& name) {
  return name + "が見つかりません。適切なファイルを指示してください。";
}
// A load that ended on an internal error (out of memory, no thread).
inline std::string LoadFailedMessage(const std::string& detail) {
  return "データの読み込みを中断しました。\r" + detail;
}

}  // namespace kalvane
