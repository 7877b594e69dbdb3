#include "ui/AboutDialog.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace kalvane::ui {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle(QString::fromUtf8("Kalvane について"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setStyleSheet("QDialog#frmAbout { background: white; border: 1px solid rgb(120, 140, 170); }");
  auto* logo = new QLabel(this);
  logo->setPixmap(QApplication::windowIcon().pixmap(64, 64));
  logo->setAlignment(Qt::AlignCenter);
  auto* title = new QLabel("<span style='font-size:22px;font-weight:bold'>Kalvane</span>", this);
  title->setAlignment(Qt::AlignCenter);
  auto* version =
      new QLabel(QString::fromUtf8("ターンテーブル（360°）商品ビュー作成ツール<br>バージョン %1")
                     .arg(QApplication::applicationVersion()),
                 this);
  version->setAlignment(Qt::AlignCenter);
  auto* urlLabel = new QLabel(QString::fromUtf8("<a href='help/index.html'>ヘルプ</a>"), this);
  urlLabel->setObjectName("urlLabel");
  urlLabel->setAlignment(Qt::AlignCenter);
  urlLabel->setOpenExternalLinks(false);
  connect(urlLabel, &QLabel::linkActivated, this, [this] {
    if (OnLinkClick) OnLinkClick();
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(32, 24, 32, 24);
  layout->addWidget(logo);
  layout->addWidget(title);
  layout->addWidget(version);
  layout->addWidget(urlLabel);
}

void TfrmAbout::mousePressEvent(QMouseEvent*) {
  close();
}

}  // namespace kalvane::ui
