#include "ui/Wording.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <algorithm>
#include <iterator>
#include <utility>

#include "ui/Texts.h"

namespace kalvane::ui {

namespace {

// Longer phrases first, so one that holds a shorter one is worded whole.
const std::pair<const char*, const char*> kPhrases[] = {
    {"not a readable image (not JPEG, PNG, TIFF, GIF, BMP, WebP, HEIC or AVIF)",
     "読み込める画像ではありません（JPEG・PNG・TIFF・GIF・BMP・WebP・HEIC・AVIF 以外）"},
    {"will not serve the whole file system; name the page set's folder",
     "ファイルシステム全体は公開できません。ページセットのフォルダを指定してください"},
    {"the JPEG data is damaged; the frame may show it",
     "JPEG データが壊れています。フレームに乱れが出ることがあります"},
    {"has the same file name as an earlier photo", "前の写真と同じファイル名です"},
    {"a file name with a line break cannot be kept in a project file",
     "改行を含むファイル名はプロジェクトファイルに保存できません"},
    {"not a regular file (a folder, device, pipe or socket is never replaced)",
     "通常のファイルではありません（フォルダ・デバイス・パイプ・ソケットは置き換えません）"},
    {"missing; the mobile export needs it beside the program",
     "がありません。携帯用の書き出しにはプログラムと同じフォルダに必要です"},
    {"the home folder itself takes no page set; choose a folder in it",
     "ホームフォルダそのものには書き出せません。その中のフォルダを選んでください"},
    {"a system folder takes no page set; choose a folder of your own",
     "システムのフォルダには書き出せません。自分のフォルダを選んでください"},
    {"a system folder takes no page set", "システムのフォルダには書き出せません"},
    {"the home folder itself takes no frame set; choose a folder in it",
     "ホームフォルダそのものには書き出せません。その中のフォルダを選んでください"},
    {"a system folder takes no frame set; choose a folder of your own",
     "システムのフォルダには書き出せません。自分のフォルダを選んでください"},
    {"a system folder takes no frame set", "システムのフォルダには書き出せません"},
    {"the frame set cannot go into the design templates",
     "連番画像はデザインテンプレートの中には書き出せません"},
    {"JPEG cannot be transparent; use png or webp for a transparent background",
     "JPEG は透明にできません。透明な背景には PNG か WebP を使ってください"},
    {"this format cannot be transparent", "この形式は透明にできません"},
    {"the project has no photos", "プロジェクトに写真がありません"},
    {"an animation needs frames", "アニメーションにはフレームが必要です"},
    {"the video and the animation are one file", "動画とアニメーションが同じファイルです"},
    {"the video could not be written", "動画を書き込めませんでした"},
    {"the rate must be above 0 and at most 100 frames a second",
     "コマ／秒は 0 より大きく 100 以下にしてください"},
    {"the shortest length must be from 0 to 3600 seconds",
     "最短の長さは 0 から 3600 秒にしてください"},
    {"is a file, not a folder", "はフォルダではなくファイルです"},
    {"cannot make a folder there", "そこにフォルダを作成できません"},
    {"cannot be put in place", "を所定の場所に置けません"},
    {"cannot write the zip", "ZIP を書き込めません"},
    {"cannot write the image", "画像を書き込めません"},
    {"would replace files no page set of ours wrote",
     "以前に書き出したデータではない次のファイルを置き換えることになります"},
    {"no output folder was given", "出力先フォルダが指定されていません"},
    {"the page set cannot go into the design templates",
     "ページセットはデザインテンプレートの中には書き出せません"},
    {"the file changed while the movie was being written",
     "ムービーの書き出し中にファイルが変更されました"},
    {"empty file, not a readable image", "空のファイルです。読み込める画像ではありません"},
    {"the trimming box has no width or no height", "トリミングボックスの幅または高さがありません"},
    {"cannot lock the export folder", "書き出し先フォルダをロックできません"},
    {"cannot open the export lock", "書き出しのロックファイルを開けません"},
    {"cannot convert the decoded image", "読み込んだ画像を変換できません"},
    {"cancelled while waiting for another export", "ほかの書き出しを待つ間に中止されました"},
    {"an export is already running", "すでに書き出しを実行中です"},
    {"the export was cancelled", "書き出しは中止されました"},
    {"the project has no items", "プロジェクトにアイテムがありません"},
    {"there are no frames to write", "書き出すフレームがありません"},
    {"trimming rectangle too large", "トリミング範囲が大きすぎます"},
    {"empty trimming rectangle", "トリミング範囲が空です"},
    {"image has no pixel size to fit", "画像に大きさがありません"},
    {"image has no pixels", "画像に画素がありません"},
    {"image too large", "画像が大きすぎます"},
    {"too large to be a project file", "プロジェクトファイルとしては大きすぎます"},
    {"too large for a movie", "ムービーには大きすぎます"},
    {"cannot create the folder", "フォルダを作成できません"},
    {"cannot read the folder", "フォルダを読み込めません"},
    {"cannot listen on 127.0.0.1", "127.0.0.1 で待ち受けできません"},
    {"cannot keep the owner", "所有者を保てません"},
    {"exists and is not a folder", "フォルダではないものが既にあります"},
    {"belongs to another user", "ほかのユーザーのものです"},
    {"no such project file", "プロジェクトファイルがありません"},
    {"no such design", "デザインがありません"},
    {"no such folder", "フォルダがありません"},
    {"file not found", "ファイルが見つかりません"},
    {"cannot make the frame", "フレームを作成できません"},
    {"cannot write JPEG", "JPEG を書き込めません"},
    {"cannot be started", "を起動できません"},
    {"cannot be written", "書き込めません"},
    {"cannot be opened", "開けません"},
    {"cannot decode", "画像を読み込めません"},
    {"cannot replace", "置き換えられません"},
    {"cannot create", "作成できません"},
    {"cannot write", "書き込めません"},
    {"cannot read", "読み込めません"},
    {"cannot open", "開けません"},
    {"unknown error", "不明なエラー"},
    // The system's error texts.
    {"No such file or directory", "ファイルまたはフォルダがありません"},
    {"Permission denied", "アクセスが許可されていません"},
    {"No space left on device", "ディスクの空き容量がありません"},
    {"Read-only file system", "読み取り専用のファイルシステムです"},
    {"Is a directory", "フォルダです"},
    {"Not a directory", "フォルダではありません"},
    {"File exists", "既にあります"},
    {"Disk quota exceeded", "ディスクの使用量の上限を超えました"},
    {"Address already in use", "アドレスは使用中です"},
    {"File name too long", "ファイル名が長すぎます"},
    {"Too many open files", "開いているファイルが多すぎます"},
    {"Input/output error", "入出力エラー"},
};

}  // namespace

bool InstallJapanese(QCoreApplication& app) {
  auto* qt = new QTranslator(&app);
  if (!qt->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  QCoreApplication::installTranslator(qt);
  return true;
}

QString JapaneseMessage(const std::string& text) {
  QString t = QString::fromStdString(text);
  for (const auto& [english, japanese] : kPhrases)
    t.replace(QString::fromUtf8(english), QString::fromUtf8(japanese));
  t.replace('\r', '\n');
  return t;
}

QString ExportFailureDetail(const TExportResult& result) {
  if (result.Unusable.size() < 2) return JapaneseMessage(result.Error);
  QString text = QString::fromUtf8(kUnusablePhotos).arg(result.Unusable.size());
  for (const std::string& photo : result.Unusable)
    text += '\n' + JapaneseMessage(photo);
  return text;
}

QString EnlargedText(const TEnlargement& e, int largest) {
  if (!e.TooMuch()) return {};
  return QString::fromUtf8(kEnlarged)
      .arg(e.Frame.Width)
      .arg(e.Frame.Height)
      .arg(e.Cut.Width)
      .arg(e.Cut.Height)
      .arg(QString::number(e.Factor(), 'f', 2))
      .arg(largest);
}

QString MarketCheckText(const TMarketplaceReport& report) {
  constexpr std::size_t kShown = 3;
  static_assert(std::size(kMarketRules) == static_cast<std::size_t>(TRule::Seconds) + 1);
  const auto kept = std::count_if(report.Rules.begin(), report.Rules.end(),
                                  [](const TRuleCheck& r) { return r.Passed; });
  QString name = QString::fromUtf8(MarketplaceKey(report.For));
  name[0] = name[0].toUpper();
  QString text =
      QString::fromUtf8(kMarketCheckHeading).arg(name).arg(kept).arg(report.Rules.size());
  for (const TRuleCheck& rule : report.Rules) {
    text += "\n" + QString::fromUtf8(rule.Passed ? kMarketRuleKept : kMarketRuleBroken) +
            QString::fromUtf8(kMarketRules[static_cast<std::size_t>(rule.Kind)]);
    for (std::size_t k = 0; k < rule.Faults.size() && k < kShown; ++k)
      text += "\n　　" + QString::fromStdString(rule.Faults[k]);
    if (rule.Faults.size() > kShown)
      text += "\n　　" + QString::fromUtf8(kMarketMoreFaults).arg(rule.Faults.size() - kShown);
  }
  return text;
}

}  // namespace kalvane::ui
