// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_dialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "app/picture_box.h"

namespace dm {

namespace {

constexpr QSize kClientSize(318, 270);
const QColor kLabelColour(128, 0, 128);  // purple
const QColor kLinkColour(0, 0, 255);

const char kProductLine[] = "Digital Microscope";
const char kDesignVersion[] = "Version 3.05";
const char kMakerLine[] = "Digital Microscope companion";
const char kRightsLine[] = "All rights reserved by its authors";
const char kWebAddress[] = "https://example.com/digital-microscope";
const char kVersionPrefix[] = "Version  ";

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at,
                  const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

TAboutDlg::TAboutDlg(const QString& companyTitle, const QString& versionInfo,
                     const QString& startupFolder, QWidget* parent)
    : QDialog(parent) {
    BuildLayout(startupFolder);
    FormCreate(companyTitle, versionInfo, startupFolder);
}

void TAboutDlg::BuildLayout(const QString& startupFolder) {
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(kClientSize);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    image2_ = new PictureBox(this);
    image2_->setObjectName(QStringLiteral("Image2"));
    image2_->setGeometry(0, -56, 320, 193);
    // The product picture; without its file the area stays plain.
    image2_->SetPicture(
        QImage(QDir(startupFolder).filePath(QString::fromLatin1(kAboutPictureFile))));

    bevel1_ = new QFrame(this);
    bevel1_->setObjectName(QStringLiteral("Bevel1"));
    bevel1_->setFrameShape(QFrame::Box);
    bevel1_->setFrameShadow(QFrame::Sunken);
    bevel1_->setGeometry(0, 136, 321, 105);

    label1_ = MakeLabel(this, "Label1", QString::fromLatin1(kProductLine), {8, 152}, kLabelColour);
    label3_ =
        MakeLabel(this, "Label3", QString::fromLatin1(kDesignVersion), {136, 152}, kLabelColour);
    label2_ = MakeLabel(this, "Label2", QString::fromLatin1(kMakerLine), {8, 176}, kLabelColour);
    label5_ = MakeLabel(this, "Label5", QString::fromLatin1(kRightsLine), {8, 200}, kLabelColour);

    image1_ = new PictureBox(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(120, 328, 81, 57);

    label4_ = MakeLabel(this, "Label4", QString::fromLatin1(kWebAddress), {112, 288}, kLinkColour);
    QFont linkFont = label4_->font();
    linkFont.setUnderline(true);
    label4_->setFont(linkFont);
    label4_->setCursor(Qt::PointingHandCursor);
    label4_->installEventFilter(this);
    label4_->hide();

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName(QStringLiteral("OKBtn"));
    okBtn_->setGeometry(119, 248, 75, 21);
    okBtn_->setDefault(true);
    connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutDlg::FormCreate(const QString& companyTitle, const QString& versionInfo,
                           const QString& startupFolder) {
    const QImage logo(QDir(startupFolder).filePath(QString::fromLatin1(kAboutLogoFile)));
    logoLoaded_ = !logo.isNull();
    if (logoLoaded_) {
        image1_->resize(logo.size());
        image1_->SetPicture(logo);
    }
    // The labels do not depend on the logo.
    label1_->setText(companyTitle);
    label1_->adjustSize();
    label3_->setText(QString::fromLatin1(kVersionPrefix) + versionInfo);
    label3_->adjustSize();
}

void TAboutDlg::Label4Click() {
    QDesktopServices::openUrl(QUrl(label4_->text()));
}

void TAboutDlg::keyPressEvent(QKeyEvent* event) {
    // Without a Cancel button Escape does not close the box.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TAboutDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == label4_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label4Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dm
