#pragma once

#include <string>

// What the project flows say to the user.
namespace kalvane {

inline constexpr const char* kLoadMessage = "データ読み込み中...";
inline constexpr const char* kImageFilter =
    "画像ファイル(*.jpg;*.png;*.tif;*.gif;*.bmp;*.webp;*.avif;*.heic;*.heif)|"
    "*.jpg;*.png;*.tif;*.gif;*.bmp;*.webp;*.avif;*.heic;*.heif";
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

// What each undo step is called, after "元に戻す".
inline constexpr const char* kStepAddItems = "アイテムの追加";
inline constexpr const char* kStepDeleteItem = "アイテムの削除";
inline constexpr const char* kStepDeleteAll = "全アイテムの削除";
inline constexpr const char* kStepMoveUp = "アイテムを上へ";
inline constexpr const char* kStepMoveDown = "アイテムを下へ";
inline constexpr const char* kStepReverse = "順番の反転";
inline constexpr const char* kStepMoveTo = "アイテムの並べ替え";
inline constexpr const char* kStepRotateLeft = "左に90°回転";
inline constexpr const char* kStepRotateRight = "右に90°回転";
inline constexpr const char* kStepDrag = "画像移動";
inline constexpr const char* kStepNudge = "画像移動（キー）";
inline constexpr const char* kStepAlign = "自動位置合わせ";
inline constexpr const char* kStepBox = "トリミングボックスの変更";
inline constexpr const char* kStepGuideAdd = "ガイドの作成";
inline constexpr const char* kStepGuideMove = "ガイドの移動";
inline constexpr const char* kStepGuideDelete = "ガイドの削除";
inline constexpr const char* kStepGuidesClear = "全てのガイドを削除";

}  // namespace kalvane
