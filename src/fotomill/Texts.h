#pragma once

// The words of the preparation tool's window, in one place.
namespace kalvane::fotomill {

inline constexpr const char* kTitle = "Fotomill - 画像ファイル一括変換ツール";
inline constexpr const char* kAddFiles = "写真を追加...";
inline constexpr const char* kAddFolder = "フォルダを追加...";
inline constexpr const char* kRemove = "削除";
inline constexpr const char* kClear = "すべて削除";
inline constexpr const char* kPhotos = "写真";
inline constexpr const char* kBefore = "補正前";
inline constexpr const char* kAfter = "補正後";
inline constexpr const char* kGrid = "グリッドを表示";
inline constexpr const char* kLightGroup = "明るさと色";
inline constexpr const char* kMatchExposure = "露出とホワイトバランスを揃える";
inline constexpr const char* kReference = "基準の写真:";
inline constexpr const char* kBackdropGroup = "背景";
inline constexpr const char* kWhiteBackground = "背景を白にする";
inline constexpr const char* kThreshold = "しきい値 (%):";
inline constexpr const char* kSoftEdge = "境界のぼかし (%):";
inline constexpr const char* kKeepShadows = "影を残す";
inline constexpr const char* kGeometryGroup = "傾きと回転";
inline constexpr const char* kLevel = "傾き補正 (度、左回りが正):";
inline constexpr const char* kLevelHint = "選択した写真の傾きです。写真ごとに変えられます";
inline constexpr const char* kLevelAll = "すべての写真に適用";
inline constexpr const char* kLevelled = "傾き %1°";
inline constexpr const char* kRotate = "回転:";
inline constexpr const char* kRotations[] = {"なし", "左に90°", "180°", "右に90°"};
inline constexpr const char* kMargins = "余白の切り取り (%) 左・上・右・下:";
inline constexpr const char* kOutputGroup = "出力";
inline constexpr const char* kSize = "長辺 (ピクセル):";
inline constexpr const char* kOriginalSize = "元のサイズ";
inline constexpr const char* kEnlarge = "小さい写真を拡大する";
inline constexpr const char* kFormat = "形式:";
inline constexpr const char* kQuality = "画質:";
inline constexpr const char* kName = "ファイル名:";
inline constexpr const char* kOutputFolder = "出力フォルダ:";
inline constexpr const char* kBrowse = "参照...";
inline constexpr const char* kKeepMetadata = "メタデータ (撮影情報) を残す";
inline constexpr const char* kOpenInKalvane = "完了後に Kalvane の新規プロジェクトとして開く";
inline constexpr const char* kQuit = "終了";
inline constexpr const char* kRun = "変換開始";
inline constexpr const char* kCancel = "中止";
inline constexpr const char* kReady = "写真を追加してください (ドラッグ＆ドロップもできます)";
inline constexpr const char* kListed = "%1 枚の写真";
inline constexpr const char* kRunning = "変換中...";
inline constexpr const char* kCancelling = "中止しています...";
inline constexpr const char* kCaption = "確認";
inline constexpr const char* kDoneCaption = "処理完了";
inline constexpr const char* kPickFiles = "写真を選択";
inline constexpr const char* kPickFolder = "写真のフォルダを選択";
inline constexpr const char* kPickOutput = "出力フォルダを選択";
inline constexpr const char* kNoPhotos = "変換する写真がありません";
inline constexpr const char* kNoOutput = "出力フォルダを指定してください";
inline constexpr const char* kCannotRun = "変換できません:\n";
inline constexpr const char* kNotAdded = "追加できないファイルがあります:\n";
inline constexpr const char* kDone = "%1 枚の写真を変換しました。\n%2";
inline constexpr const char* kSomeFailed = "%1 枚の写真を変換できませんでした:\n%2";
inline constexpr const char* kLostColour =
    "次の写真では、背景を白くしたときに商品の色も白くなりました。"
    "写真を確認するか、しきい値を下げてください:\n";
inline constexpr const char* kLostColourShort = "注意: 商品の色も白くなりました";
inline constexpr const char* kAskEmpty =
    "出力フォルダ「%1」には前回の変換で書き出した %2 個のファイルがあります。\n"
    "今回の写真と混ざらないように、それらを削除してから変換しますか？";
inline constexpr const char* kNotEmptied = "前回の変換結果があるため、変換しませんでした";
inline constexpr const char* kStopped = "中止しました。%1 枚の写真を変換済みです。";
inline constexpr const char* kNoKalvane = "Kalvane が見つからないため、プロジェクトを開けません";
inline constexpr const char* kProjectFailed = "プロジェクトを作成できませんでした:\n";
inline constexpr const char* kProjectNotOurs =
    "「%1」は Fotomill が書き出したファイルではないため、置き換えません";
inline constexpr const char* kPreviewFailed = "プレビューを表示できません";
// Why a run or a photo failed.
inline constexpr const char* kNoFolderGiven = kNoOutput;
inline constexpr const char* kNotAFolder = "「%1」はフォルダではなくファイルです";
inline constexpr const char* kHomeFolder =
    "ホームフォルダ「%1」そのものには書き出せません。中にフォルダを作って選んでください";
inline constexpr const char* kSystemFolder =
    "「%1」はシステムのフォルダのため書き出せません。自分のフォルダを選んでください";
inline constexpr const char* kBadGeometry =
    "傾きは 45 度以内に、余白は写真が残るように指定してください";
inline constexpr const char* kBadReference = "基準の写真が一覧にありません";
inline constexpr const char* kReferenceUnreadable = "基準の写真「%1」を読み込めません: %2";
inline constexpr const char* kUnknownField =
    "ファイル名の %1 は使えません ({name}、{index}、{index:03} が使えます)";
inline constexpr const char* kBadTemplate =
    "ファイル名の指定が正しくありません ({name} か {index} を含め、/ "
    "や対になっていない括弧は使えません)";
inline constexpr const char* kNoName = "「%1」のファイル名が空になります";
inline constexpr const char* kBadName =
    "「%1」から作るファイル名「%2」には \\ や改行などの制御文字が入るため、書き出せません";
inline constexpr const char* kSameName = "「%1」と「%2」が同じ名前「%3」で書き出されます";
inline constexpr const char* kWriteProtected = "「%1」は書き込み禁止のため置き換えません";
inline constexpr const char* kOriginal = "「%1」は元の写真です。元の写真には上書きしません";
inline constexpr const char* kEarlierRun =
    "「%1」には前回の変換結果 (%2 個のファイル) があります。混ざらないように変換しません";
inline constexpr const char* kNotOurs =
    "「%1」には Fotomill が書き出していない同じ名前のファイルがあるため、置き換えません: %2";
inline constexpr const char* kCannotMakeFolder = "フォルダ「%1」を作成できません";
inline constexpr const char* kCancelled = "中止しました";
inline constexpr const char* kMissing = "ファイルがありません";
inline constexpr const char* kNotAnImage = "読み込める画像ではありません";
inline constexpr const char* kCutOff = "ファイルが途中で切れています";
inline constexpr const char* kTooLarge = "画像が大きすぎます";
inline constexpr const char* kOtherShape = "基準の写真と縦横の比率が違います (基準 %1)";
inline constexpr const char* kWriteFailed = "書き込めません";
inline constexpr const char* kFailedOther = "変換できませんでした";
inline constexpr const char* kFileFilter =
    "写真 (*.jpg *.jpeg *.png *.tif *.tiff *.webp *.heic *.heif *.avif *.cr2 *.cr3 *.nef *.arw "
    "*.raf *.dng *.JPG *.JPEG *.PNG *.TIF *.TIFF *.CR2 *.CR3 *.NEF *.ARW *.RAF *.DNG)";

}  // namespace kalvane::fotomill
