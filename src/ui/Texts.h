#pragma once

// The editor's own words: captions, hints, questions and messages.
namespace kalvane::ui {

inline constexpr const char* kAppTitle = "Kalvane";
inline constexpr const char* kDoneCaption = "処理完了";
inline constexpr const char* kErrorCaption = "エラー";

// Undo and redo; the undo command names the step it takes back.
inline constexpr const char* kUndoCaption = "元に戻す(&Z)";
inline constexpr const char* kUndoStepCaption = "元に戻す（%1）";
inline constexpr const char* kRedoCaption = "やり直し(&Y)";
inline constexpr const char* kRedoStepCaption = "やり直し（%1）";

// Questions and messages of the main window.
inline constexpr const char* kAskDeleteItem = "アクティブアイテムを削除します。よろしいですか？";
inline constexpr const char* kAskDeleteAll =
    "プロジェクトアイテムを全て削除します。よろしいですか？\r（「元に戻す」で取り消せます）";
inline constexpr const char* kAskDeleteGuides =
    "全てのガイドラインを削除します。よろしいですか？\r（「元に戻す」で取り消せます）";
inline constexpr const char* kNoConverter =
    "画像ファイル一括変換ツールが見つかりません\rKalvane を再インストールしてください";
inline constexpr const char* kNoHelp = "ヘルプファイルが見つかりません";
inline constexpr const char* kAskNewProject =
    "現在のデータを破棄し、プロジェクトを新規作成します。よろしいですか？";
inline constexpr const char* kAskOpenProject =
    "現在のデータを破棄し、別プロジェクトをロードします。よろしいですか？";
inline constexpr const char* kAskSaveOnClose =
    "プロジェクトデータが保存されていません。保存しますか？";
inline constexpr const char* kWelcome =
    "Kalvane "
    "をインストールして頂き、誠に有り難うございます。\r\r初めてご使用の方はヘルプドキュメントの"
    "チュートリアルを\r一読される事をお勧めします。\r\rヘルプドキュメントを開きますか？\r（※ヘルプ"
    "は"
    "メニューからいつでも開けます）";
inline constexpr const char* kDamagedPhotos =
    "次の写真は JPEG データが壊れています。書き出したフレームに乱れがないか確認してください";
inline constexpr const char* kPcExportDone = "PC用データファイルの書き出しが完了しました";
inline constexpr const char* kPcExportFailed = "PC用データファイルを書き出せませんでした。";
inline constexpr const char* kMobileExportFailed = "携帯用データファイルを書き出せませんでした。";
inline constexpr const char* kPreviewFailed = "HTMLプレビューを作成できませんでした。";
// Followed by the file's path.
inline constexpr const char* kAskReplaceReadOnly =
    "このファイルは読み取り専用です。上書きして保存しますか？";
inline constexpr const char* kProjectSaveFailed = "プロジェクトファイルを保存できませんでした。";
inline constexpr const char* kNoDisplay = "画面がないため、エディタを起動できません。";

inline constexpr const char* kImageLockedHint =
    "画像はロックされています。移動するには「画像ロック」を解除してください（Ctrl+I）";
// The address a page is served at, while it is.
inline constexpr const char* kServedAt = "このアドレスで表示できます: ";
inline constexpr const char* kCannotOpenBrowser =
    "ブラウザを開けませんでした。次のアドレスをブラウザで開いてください：";

// A photo of the project that could not be decoded, after its name.
inline constexpr const char* kUnreadablePhoto = "（読み込めません）";

// Automatic alignment.
inline constexpr const char* kAlignMessage = "位置合わせ中...";
inline constexpr const char* kAutoAlignNotTrusted =
    "次のアイテムは位置を合わせられなかったため、元の位置のままにしました：";
// %1 items moved, %2 the largest move in photo pixels.
inline constexpr const char* kAlignSummary =
    "%1 枚の位置を合わせました。いちばん大きな移動は %2 画素です。";
inline constexpr const char* kAlignAllSure = "どの写真も確かに合わせられました。";
inline constexpr const char* kAlignDoubtful =
    "次の写真は確かさが低いため、モノクロ表示で確かめてください（一覧に「要確認」と出ています）：";
inline constexpr const char* kAlignDoubtfulMark = "（要確認）";
inline constexpr const char* kAlignDoubtfulHint =
    "自動位置合わせの確かさが %1% "
    "と低い写真です。モノクロ表示で前後の写真と重ねて確かめてください。";
inline constexpr const char* kAlignPickRegion =
    "位置合わせに使う範囲を、動かない部分（背景の境目や回転台の縁など）を囲むようにドラッグしてくだ"
    "さい。Esc "
    "で取りやめます。";
inline constexpr const char* kAlignNoBox = "トリミング枠がないため、写真全体で位置を合わせます。";

// The template design window.
inline constexpr const char* kTemplateCaption = "テンプレートデザインの選択";
inline constexpr const char* kNoDesigns = "テーマの中にデザインがありません (Theme Select)";
inline constexpr const char* kBrokenTheme =
    "テーマ又はテーマファイルが正しくインストールされていません (Update List)";
inline constexpr const char* kPickOutputFolder = "出力先フォルダを選択してください";
// An output folder that could not be made; the folder and the reason follow.
inline constexpr const char* kCannotMakeFolder = "出力先フォルダを作成できませんでした。";
inline constexpr const char* kDesignExportDone =
    "テンプレートデザインデータの書き出しが完了しました";
inline constexpr const char* kDesignExportFailed =
    "テンプレートデザインデータを書き出せませんでした。";
// Before a page set replaces files that no earlier set wrote; the folder
// and the names follow, one a line.
inline constexpr const char* kAskReplaceFiles =
    "出力先フォルダには、以前に書き出したデータではない次のファイルがあります。\r"
    "置き換えてもよろしいですか？";
inline constexpr const char* kAndMoreFiles = "ほか%d個";
inline constexpr const char* kDesignExportCancelled =
    "データファイルの幅が指定されなかったため、テンプレートデザインデータは書き出されませんでした"
    "。";

// File dialogs.
inline constexpr const char* kPickImagesTitle =
    "プロジェクトに追加する画像ファイルを選択してください";
inline constexpr const char* kPickProjectTitle = "プロジェクトファイルを選択してください";
inline constexpr const char* kProjectFilter = "プロジェクトファイル(*.vpj)|*.vpj";
inline constexpr const char* kSwfFilter = "swfファイル(*.swf)|*.swf";

// The export width dialog.
inline constexpr const char* kWidthCaption = "データファイル作成設定";
inline constexpr const char* kWidthMessage =
    "作成するデータファイルの幅サイズ（解像度）を指定してください";
inline constexpr const char* kWidthNote = "（※コンテンツの高さ解像度は自動的に計算されます）";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kCancel = "キャンセル";

}  // namespace kalvane::ui

namespace kalvane::ui {

// Other outputs: frame sets and animations.
inline constexpr const char* kShopCaption = "その他の形式で書き出し";
inline constexpr const char* kShopPresets[] = {"Amazon 360°（72枚・2000px・白・ZIP）",
                                               "スピン用連番画像",
                                               "Shopify（MP4 + WebP）",
                                               "動画（MP4 / WebM）",
                                               "アニメーション（WebP / GIF）",
                                               "Walmart 360°（24枚・1.5MB以下・白）"};
inline constexpr const char* kShopPreset = "プリセット";
inline constexpr const char* kShopCount = "枚数";
inline constexpr const char* kShopAllPhotos = "すべて";
inline constexpr const char* kShopSize = "長辺（px）";
inline constexpr const char* kShopDefaultSize = "標準（500）";
inline constexpr const char* kShopSquare = "正方形にする";
inline constexpr const char* kShopBackground = "背景";
inline constexpr const char* kShopBackgrounds[] = {"白", "透明", "色を指定"};
inline constexpr const char* kShopFormat = "形式";
inline constexpr const char* kShopQuality = "画質";
inline constexpr const char* kShopName = "ファイル名";
inline constexpr const char* kShopNameHint =
    "{name} はプロジェクト名、{index} は 1 からの番号、{angle} は角度（{index:02} で 2 桁）";
inline constexpr const char* kShopZip = "ZIP にまとめる";
inline constexpr const char* kShopWidth = "幅（px）";
inline constexpr const char* kShopFps = "コマ／秒";
inline constexpr const char* kShopLoop = "繰り返し";
inline constexpr const char* kShopLoopForever = "無限";
inline constexpr const char* kShopMinSeconds = "最短の長さ（秒）";
inline constexpr const char* kShopOneTurn = "1 周";
inline constexpr const char* kShopVideoFormats[] = {"MP4（H.264）", "WebM（VP9）"};
inline constexpr const char* kShopExport = "書き出し...";
// %1 frames wanted, %2 photos in the project.
inline constexpr const char* kShopTooMany =
    "%1枚のセットには%1枚の写真が必要ですが、プロジェクトの写真は%"
    "2枚です。枚数を減らしてください。";
// %1 photos in the project, %2 frames the set takes.
inline constexpr const char* kShopCountLowered =
    "プロジェクトの写真が%1枚のため、%2枚で書き出します。";
// A marketplace's preset the project has too few photos for: %1 photos,
// %2 frames the preset asks, %3 the counts this project can make.
inline constexpr const char* kShopCountsPossible =
    "写真が%1枚のため、%2枚のセットは作れません。このプロジェクトで作れる枚数：%3";
// %1 photos, %2 the preset's counts.
inline constexpr const char* kShopNoCountPossible =
    "写真が%1枚のため、このプリセットの枚数（%2）はどれも作れません。%1枚で書き出します。";
// %1 photos, %2 frames, %3 the steps, %4 the first angles, %5 the counts
// that take evenly spaced photos.
inline constexpr const char* kShopUneven =
    "%1枚の写真から%2枚を選ぶと間隔が%3とそろわず（%4）、回転がぎくしゃくします。"
    "均等になる枚数：%5";
inline constexpr const char* kShopTransparentJpeg =
    "JPEG は透明にできません。PNG か WebP を選んでください。";
inline constexpr const char* kShopBadColor = "色は #RRGGBB の形で指定してください。";
inline constexpr const char* kShopBadName =
    "ファイル名の指定が正しくありません。{name}・{index}・{angle} が使えます（例 {index:02}）。";
inline constexpr const char* kShopPickFolder = "連番画像の出力先フォルダを選択してください";
inline constexpr const char* kShopWebpFilter = "WebPファイル(*.webp)|*.webp";
inline constexpr const char* kShopGifFilter = "GIFファイル(*.gif)|*.gif";
inline constexpr const char* kShopMp4Filter = "MP4ファイル(*.mp4)|*.mp4";
inline constexpr const char* kShopWebmFilter = "WebMファイル(*.webm)|*.webm";
inline constexpr const char* kShopFailed = "その他の形式で書き出せませんでした。";
inline constexpr const char* kShopOddVideoWidth =
    "動画の幅は偶数にしてください（動画の画素は縦横とも偶数で作られます）。";
inline constexpr const char* kShopSettingRefused = "この設定では書き出せません。";
// Followed by the file or folder written.
inline constexpr const char* kShopSetDone = "連番画像の書き出しが完了しました";
inline constexpr const char* kShopZipDone = "連番画像の ZIP の書き出しが完了しました";
inline constexpr const char* kShopAnimationDone = "アニメーションの書き出しが完了しました";
inline constexpr const char* kShopVideoDone = "動画の書き出しが完了しました";
// After a marketplace's set: %1 the marketplace, %2 of %3 rules kept; a
// line for each rule follows, its mark first, the frames at fault under it.
inline constexpr const char* kMarketCheckHeading = "%1 の条件：%3 件中 %2 件を満たしています";
inline constexpr const char* kMarketRuleKept = "○ ";
inline constexpr const char* kMarketRuleBroken = "× ";
inline constexpr const char* kMarketMoreFaults = "ほか %1 件";
// Each rule's words, in the order of TRule.
inline constexpr const char* kMarketRules[] = {"画像として読める",
                                               "枚数",
                                               "画像形式",
                                               "正方形",
                                               "辺の長さ",
                                               "背景の縁が白",
                                               "商品の大きさ（一辺の85%以上）",
                                               "商品が中央（2%以内）",
                                               "ファイル名の番号順",
                                               "ファイルサイズ",
                                               "MP4（H.264）",
                                               "yuv420p",
                                               "6秒以上"};
// A video and its animation cancelled after the video was written; the
// files follow each heading.
inline constexpr const char* kShopPairCancelled = "書き出しを中止しました。";
inline constexpr const char* kShopPairWritten = "書き出したファイル：";
inline constexpr const char* kShopPairNotWritten =
    "書き出していないファイル（以前のファイルがあればそのままです）：";

// An export that could not use %1 photos, each named on a line after it.
inline constexpr const char* kUnusablePhotos =
    "次の%1枚の写真を使えません。直すかプロジェクトから外してから、もう一度書き出してください。";

// Frames that enlarge the trimming box's photo pixels beyond the limit:
// %1 x %2 the frames, %3 x %4 the cut, %5 how many times, %6 the setting
// (width or longer side) that keeps the photos' own sharpness.
inline constexpr const char* kEnlarged =
    "画像（%1 × %2 px）はトリミングボックスの写真の画素（%3 × %4 px）を%5倍に拡大するため、"
    "ぼやけて見えます（%6 px 以下なら拡大しません）。";

}  // namespace kalvane::ui
