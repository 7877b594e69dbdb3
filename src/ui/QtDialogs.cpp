#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "base/AppUtil.h"
#include "project/ProjectTexts.h"
#include "ui/AboutDialog.h"
#include "ui/SwfExportDialog.h"
#include "ui/Texts.h"
#include "ui/Wording.h"

namespace kalvane::ui {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

int Ask(QWidget* owner, QMessageBox::Icon icon, const std::string& caption, const std::string& text,
        QMessageBox::StandardButtons buttons) {
  QApplication::beep();
  QMessageBox box(icon, Q(caption), JapaneseMessage(text), buttons, owner);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);  // names and paths can be copied
  const std::pair<QMessageBox::StandardButton, const char*> words[] = {
      {QMessageBox::Yes, "はい(&Y)"},
      {QMessageBox::No, "いいえ(&N)"},
      {QMessageBox::Ok, "OK"},
      {QMessageBox::Cancel, "キャンセル"}};
  for (const auto& [button, word] : words) {
    if (QAbstractButton* b = box.button(button)) b->setText(QString::fromUtf8(word));
  }
  return box.exec();
}

}  // namespace

QString QtFilter(const std::string& filter) {
  const QString f = Q(filter);
  const int bar = f.indexOf('|');
  if (bar < 0) return f;
  QString description = f.left(bar);
  const int paren = description.indexOf('(');
  if (paren > 0) description = description.left(paren);
  QString patterns = f.mid(bar + 1);
  patterns.replace(';', ' ');
  return description + " (" + patterns + ")";
}

bool TQtDialogs::AskYesNo(const std::string& caption, const std::string& text) {
  return Ask(Owner, QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void TQtDialogs::Warn(const std::string& caption, const std::string& text) {
  Ask(Owner, QMessageBox::Warning, caption, text, QMessageBox::Ok);
}

void TQtDialogs::Inform(const std::string& caption, const std::string& text) {
  Ask(Owner, QMessageBox::Information, caption, text, QMessageBox::Ok);
}

void TQtDialogs::ShowError(const std::string& caption, const std::string& text) {
  Ask(Owner, QMessageBox::Critical, caption, text, QMessageBox::Ok);
}

bool TQtDialogs::AskOkCancel(const std::string& caption, const std::string& text) {
  return Ask(Owner, QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

TAnswer TQtDialogs::AskYesNoCancel(const std::string& caption, const std::string& text) {
  switch (Ask(Owner, QMessageBox::Question, caption, text,
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
      return TAnswer::Yes;
    case QMessageBox::No:
      return TAnswer::No;
    default:
      return TAnswer::Cancel;
  }
}

std::optional<std::string> TQtDialogs::OpenFile(const std::string& title, const std::string& filter,
                                                const std::string& fileName) {
  const QString start =
      QDir(LastFolder.isEmpty() ? QDir::homePath() : LastFolder).filePath(Q(fileName));
  const QString picked = QFileDialog::getOpenFileName(Owner, Q(title), start, QtFilter(filter));
  if (picked.isEmpty()) return std::nullopt;
  LastFolder = QFileInfo(picked).absolutePath();
  return picked.toStdString();
}

std::vector<std::string> TQtDialogs::PickImages() {
  const QStringList picked =
      QFileDialog::getOpenFileNames(Owner, Q(kPickImagesTitle), LastFolder, QtFilter(kImageFilter));
  std::vector<std::string> files;
  for (const QString& file : picked)
    files.push_back(file.toStdString());
  if (!picked.isEmpty()) LastFolder = QFileInfo(picked.front()).absolutePath();
  return files;
}

std::optional<std::string> TQtDialogs::PickProject(const std::string& folder) {
  const QString picked = QFileDialog::getOpenFileName(Owner, Q(kPickProjectTitle),
                                                      folder.empty() ? LastFolder : Q(folder),
                                                      QtFilter(kProjectFilter));
  if (picked.isEmpty()) return std::nullopt;
  LastFolder = QFileInfo(picked).absolutePath();
  return picked.toStdString();
}

std::optional<std::string> TQtDialogs::PickSaveFile(const std::string& filter,
                                                    const std::string& defaultName,
                                                    const std::string& defaultSuffix) {
  QFileDialog dialog(Owner, QString(), LastFolder, QtFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(Q(defaultSuffix));
  dialog.selectFile(Q(defaultName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString picked = dialog.selectedFiles().front();
  LastFolder = QFileInfo(picked).absolutePath();
  return picked.toStdString();
}

std::optional<std::string> TQtDialogs::PickFolder(const std::string& title,
                                                  const std::string& start) {
  const QString picked = QFileDialog::getExistingDirectory(Owner, Q(title), Q(start));
  if (picked.isEmpty()) return std::nullopt;
  return picked.toStdString();
}

std::optional<int> TQtDialogs::AskExportWidth() {
  if (!WidthDialog) return std::nullopt;
  WidthDialog->exec();
  if (!WidthDialog->Confirmed()) return std::nullopt;
  return WidthDialog->Width();
}

void TQtDialogs::OpenDocument(const std::string& pathOrUrl) {
  const QString target = Q(pathOrUrl);
  QUrl url;
  if (target.startsWith("http://") || target.startsWith("https://")) {
    url = QUrl(target);
  } else {
    url = QUrl::fromLocalFile(target.section('#', 0, 0));
    if (target.contains('#')) url.setFragment(target.section('#', 1));
  }
  // The desktop's opener tells whether a browser took the page; when none
  // did, the address is shown so the user can open it by hand.
  auto* opener = new QProcess(Owner);
  const QString address = url.toString();
  auto failed = [this, opener, address] {
    opener->deleteLater();
    ShowAddress(address);
  };
  QObject::connect(opener, &QProcess::errorOccurred, opener,
                   [failed](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) failed();
                   });
  QObject::connect(opener, &QProcess::finished, opener,
                   [opener, failed](int code, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || code != 0) {
                       failed();
                     } else {
                       opener->deleteLater();
                     }
                   });
  opener->start("xdg-open", {address});
}

void TQtDialogs::ShowAddress(const QString& address) {
  QApplication::beep();
  auto* box = new QMessageBox(QMessageBox::Warning, Q(kErrorCaption),
                              QString::fromUtf8(kCannotOpenBrowser) + "\n" + address,
                              QMessageBox::Ok, Owner);
  box->setObjectName("msgCannotOpenBrowser");
  box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void TQtDialogs::StartProgram(const std::string& path) {
  QProcess::startDetached(Q(path), {});
}

void TQtDialogs::ShowAbout() {
  TfrmAbout about(Owner);
  about.OnLinkClick = [this, &about] {
    about.close();
    OpenDocument(GetDataFolder() + "help/index.html");
  };
  about.exec();
}

}  // namespace kalvane::ui
