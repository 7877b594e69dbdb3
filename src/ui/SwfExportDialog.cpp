#include "ui/SwfExportDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include "export/LayerToSwf.h"
#include "ui/Texts.h"

namespace kalvane::ui {

namespace {

// A spin box that reads text that is not a number as the minimum, and
// leaves a value outside the limits alone until the box loses the focus.
class TWidthBox : public QSpinBox {
 public:
  explicit TWidthBox(QWidget* parent) : QSpinBox(parent) {
    setRange(0, 99999);  // the limits are applied on leaving, as the dialog's rules say
    setSingleStep(100);
    setValue(TSwfExportWidth::kDefault);
  }

 protected:
  int valueFromText(const QString& text) const override {
    return TSwfExportWidth::FromText(text.trimmed().toStdString());
  }
  QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }
  void focusOutEvent(QFocusEvent* event) override {
    interpretText();
    setValue(TSwfExportWidth::OnExit(value()));
    QSpinBox::focusOutEvent(event);
  }
  void stepBy(int steps) override {
    setValue(TSwfExportWidth::OnExit(value() + steps * singleStep()));
  }
};

}  // namespace

TfrmSwfExportDialog::TfrmSwfExportDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSwfExportDialog");
  setWindowTitle(QString::fromUtf8(kWidthCaption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* lblMessage = new QLabel(QString::fromUtf8(kWidthMessage), this);
  lblMessage->setObjectName("lblMessage");
  auto* Label2 = new QLabel(QString::fromUtf8(kWidthNote), this);
  Label2->setObjectName("Label2");
  QFont small = Label2->font();
  small.setPixelSize(11);
  Label2->setFont(small);
  auto* swfImage = new QLabel(this);
  swfImage->setObjectName("swfImage");
  swfImage->setPixmap(style()->standardIcon(QStyle::SP_FileIcon).pixmap(24, 24));
  edtSwfWidth = new TWidthBox(this);
  edtSwfWidth->setObjectName("edtSwfWidth");
  edtSwfWidth->setFocusPolicy(Qt::ClickFocus);  // Tab skips the width box
  edtSwfWidth->installEventFilter(this);
  btnOK = new QPushButton(QString::fromUtf8(kOk), this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QString::fromUtf8(kCancel), this);
  btnCancel->setObjectName("btnCancel");
  connect(btnOK, &QPushButton::clicked, this, &TfrmSwfExportDialog::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmSwfExportDialog::btnCancelClick);

  auto* widthRow = new QHBoxLayout;
  widthRow->addWidget(swfImage);
  widthRow->addWidget(edtSwfWidth);
  widthRow->addWidget(new QLabel("px", this));
  widthRow->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblMessage);
  layout->addWidget(Label2);
  layout->addLayout(widthRow);
  layout->addLayout(buttons);
}

int TfrmSwfExportDialog::Width() const {
  return edtSwfWidth->value();
}

void TfrmSwfExportDialog::showEvent(QShowEvent* event) {
  IsConfirmed = false;
  QDialog::showEvent(event);
  btnOK->setFocus();
}

void TfrmSwfExportDialog::btnOKClick() {
  edtSwfWidth->interpretText();
  edtSwfWidth->setValue(TSwfExportWidth::OnConfirm(edtSwfWidth->value()));
  IsConfirmed = true;
  accept();
}

void TfrmSwfExportDialog::btnCancelClick() {
  IsConfirmed = false;
  reject();
}

bool TfrmSwfExportDialog::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the width box confirms without leaving it: a smaller typed
  // value is used as typed.
  if (watched == edtSwfWidth && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      btnOKClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kalvane::ui
