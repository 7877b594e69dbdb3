#pragma once

// Words every area shows the same way.
namespace kalvane {

inline constexpr const char* kQuestionCaption = "確認";
inline constexpr const char* kProgressCaption = "しばらくお待ちください";

}  // namespace kalvane
