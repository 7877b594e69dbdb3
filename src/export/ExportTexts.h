#pragma once

#include "base/Result.h"

// What the exports say to the user.
namespace kalvane {

inline constexpr const char* kExportMessage = "コンテンツデータ作成中...";
inline constexpr const char* kWaitingForExportMessage = "他の書き出しの終了を待っています...";

// Why an export failed, in the user's words; the detail (which file, what
// the system said) follows it.
inline const char* ExportFailureText(TErrorCode code) {
  switch (code) {
    case TErrorCode::NoItems:
      return "プロジェクトにアイテムがありません。";
    case TErrorCode::BadSetting:
      return "幅またはトリミングボックスの設定ではデータを作成できません。";
    case TErrorCode::TooManyItems:
      return "アイテムが多すぎます（1000個まで）。";
    case TErrorCode::NotFound:
    case TErrorCode::Unreadable:
      return "画像ファイルを読み込めませんでした。";
    case TErrorCode::WriteFailed:
      return "ファイルを書き込めませんでした。";
    case TErrorCode::Cancelled:
      return "書き出しを中止しました。";
    case TErrorCode::Busy:
      return "他の書き出しが実行中です。";
    default:
      return "データを作成できませんでした。";
  }
}

}  // namespace kalvane
