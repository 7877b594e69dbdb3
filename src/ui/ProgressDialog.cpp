#include "ui/ProgressDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/Texts.h"

namespace kalvane::ui {

TfrmProgressDialog::TfrmProgressDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("frmProgressDialog");
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint);
  setModal(false);
  lblCaption = new QLabel(this);
  lblCaption->setObjectName("lblCaption");
  pbarMain = new QProgressBar(this);
  pbarMain->setObjectName("pbarMain");
  pbarMain->setMinimumWidth(256);
  btnCancel = new QPushButton(QString::fromUtf8(kCancel), this);
  btnCancel->setObjectName("btnCancel");
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    if (OnCancel) OnCancel();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblCaption);
  layout->addWidget(pbarMain);
  layout->addWidget(btnCancel, 0, Qt::AlignRight);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmProgressDialog::reject() {
  if (btnCancel->isVisible()) btnCancel->click();
}

void TfrmProgressDialog::closeEvent(QCloseEvent* event) {
  event->ignore();  // only the work it reports ends it
}

TExecProgress::TExecProgress(QWidget* ownerWindow)
    : dialog(new TfrmProgressDialog(ownerWindow)), owner(ownerWindow) {
  dialog->OnCancel = [this] { CancelPressed(); };
  dialog->adjustSize();
  fullHeight = dialog->height();
}

TExecProgress::~TExecProgress() {
  dialog->hide();
  delete dialog;
}

void TExecProgress::Setup(const std::string& c, const std::string& m, int minimum, int maximum) {
  caption = c;
  message = m;
  minValue = minimum;
  maxValue = maximum;
  Position = 0;
  Apply();
}

void TExecProgress::Apply() {
  dialog->setWindowTitle(QString::fromStdString(caption));
  dialog->lblCaption->setText(QString::fromStdString(message));
  dialog->pbarMain->setMaximum(maxValue);
  dialog->pbarMain->setMinimum(minValue);
  dialog->pbarMain->setValue(Position);
  dialog->repaint();
}

void TExecProgress::ShowProgress() {
  Apply();
  const QWidget* centre = owner ? owner->window() : nullptr;
  dialog->adjustSize();
  const QRect area = centre ? centre->frameGeometry() : dialog->screen()->availableGeometry();
  dialog->move(area.center() - dialog->rect().center());
  dialog->show();
  if (owner) {
    owner->repaint();
    // Disabling a window disables its child windows too: the progress
    // window is enabled again, so its cancel button and Esc still work.
    owner->setEnabled(false);
    dialog->setEnabled(true);
  }
  dialog->raise();
  dialog->activateWindow();
  dialog->btnCancel->setFocus();
  dialog->repaint();
}

void TExecProgress::HideProgress() {
  if (owner) {
    owner->setEnabled(true);
    owner->activateWindow();
  }
  dialog->hide();
}

void TExecProgress::SetPosition(int value) {
  Position = value;
  dialog->pbarMain->setValue(value);
  dialog->repaint();
}

void TExecProgress::SetCancellable(bool on) {
  cancellable = on;
  dialog->btnCancel->setVisible(on);
  dialog->adjustSize();
}

void TExecProgress::CancelPressed() {
  if (OnCancel) OnCancel();
}

}  // namespace kalvane::ui
