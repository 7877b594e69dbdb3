#include "fotomill/FotomillDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

#include "base/AppUtil.h"
#include "base/RunProgram.h"
#include "fotomill/Texts.h"

namespace kalvane::fotomill {

namespace {
QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
}  // namespace

std::vector<std::string> TQtFotomillDialogs::PickFiles(const std::string& start) {
  std::vector<std::string> files;
  for (const QString& file : QFileDialog::getOpenFileNames(
           Owner, QString::fromUtf8(kPickFiles), Q(start), QString::fromUtf8(kFileFilter)))
    files.push_back(file.toStdString());
  return files;
}

std::optional<std::string> TQtFotomillDialogs::PickFolder(const std::string& title,
                                                          const std::string& start) {
  const QString folder = QFileDialog::getExistingDirectory(Owner, Q(title), Q(start));
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

void TQtFotomillDialogs::Warn(const std::string& text) {
  QApplication::beep();
  QMessageBox::warning(Owner, QString::fromUtf8(kCaption), Q(text));
}

void TQtFotomillDialogs::Inform(const std::string& text) {
  QMessageBox::information(Owner, QString::fromUtf8(kDoneCaption), Q(text));
}

bool TQtFotomillDialogs::Ask(const std::string& text) {
  QApplication::beep();
  return QMessageBox::question(Owner, QString::fromUtf8(kCaption), Q(text),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

TResult TQtFotomillDialogs::RunProgram(const std::vector<std::string>& argv) {
  // The log goes to the user's own temporary folder, where nobody else
  // can put a link in its place.
  if (TResult ready = PrepareExportTempFolder(); !ready.Ok()) return ready;
  // new reads only the photos' headers: a thousand take about a second.
  return kalvane::RunProgram(argv, GetExportTempFolder() + "fotomill-project.log", 60);
}

bool TQtFotomillDialogs::StartProgram(const std::string& program,
                                      const std::vector<std::string>& args) {
  QStringList list;
  for (const std::string& arg : args)
    list << Q(arg);
  return QProcess::startDetached(Q(program), list);
}

}  // namespace kalvane::fotomill
