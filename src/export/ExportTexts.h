#pragma once

// What the exports say to the user.
namespace kalvane {

inline constexpr const char* kExportMessage = "コンテンツデータ作成中...";
inline constexpr const char* kWaitingForExportMessage = "他の書き出しの終了を待っています...";

}  // namespace kalvane
