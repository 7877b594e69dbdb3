#pragma once

#include "base/Result.h"

// What the exports say to the user.
namespace kalvane {

inline constexpr const char* kExportMessage = "コンテンツデータ作成中...";
inline constexpr const char* kWaitingForExportMessage = "他の書き出しの終了を待っています...";
// Before the holder of the export folder: "pid 4242: kalvane-cli export ...".
inline constexpr const char* kExportHolderLabel = "書き出し中のプログラム：";
// After the frames, while an animation is encoded.
inline constexpr const char* kEncodeAnimationMessage = "アニメーションを書き出し中...";
// After a marketplace's set, while its rules are checked.
inline constexpr const char* kMarketCheckMessage = "マーケットプレイスの条件を確認中...";

// After the mobile export: movies of this size or more may not play on
// some phones.
inline constexpr long long kMobileSizeLimit = 100000;
inline constexpr const char* kMobileDone = "携帯端末用データファイルの書き出しが完了しました";
inline constexpr const char* kMobileDoneTooLarge =
    "携帯端末用SWFコンテンツの書き出しが完了しました\r"
    "\r"
    "※コンテンツのデータサイズが100KB以内に収まっていません。\r"
    "100KBを超えるSWFファイルは一部機種によって閲覧出来なくなる可能性があります\r"
    "データサイズは\r"
    "　「写真のトリミングボックス高さを縮める」\r"
    "　「写真の枚数を減らしてみる」\r"
    "などで100KB以内に収まるよう調整して下さい";
inline const char* MobileDoneText(long long movieBytes) {
  return movieBytes < kMobileSizeLimit ? kMobileDone : kMobileDoneTooLarge;
}

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
    case TErrorCode::UnsafeFolder:
      return "このフォルダには書き出せません。ルート、ホームフォルダそのもの、システムやテンプレー"
             "トのフォル"
             "ダ以外を選んでください。";
    case TErrorCode::WouldReplace:
      return "書き出し先に、以前に書き出したデータではない同じ名前のファイルがあります。";
    case TErrorCode::ToolFailed:
      return "携帯用データの作成ツールが見つからないか、正しく動作しませんでした。";
    default:
      return "データを作成できませんでした。";
  }
}

}  // namespace kalvane
