// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TAboutDlg: the About box. Built afresh for every opening, so the logo is read again
// each time. Window thread only.

#include <QDialog>

class QLabel;
class QFrame;
class QPushButton;

namespace dm {

class PictureBox;

inline constexpr char kAboutLogoFile[] = "Small_Logo.bmp";
inline constexpr char kAboutPictureFile[] = "About.bmp";

class TAboutDlg : public QDialog {
    Q_OBJECT
  public:
    // `startupFolder` holds Small_Logo.bmp and the product picture.
    TAboutDlg(const QString& companyTitle, const QString& versionInfo, const QString& startupFolder,
              QWidget* parent = nullptr);

    // False when Small_Logo.bmp could not be loaded; the labels are set all the same.
    bool LogoLoaded() const { return logoLoaded_; }

    // Opens the hidden link label's address in the desktop's browser.
    void Label4Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildLayout(const QString& startupFolder);
    void FormCreate(const QString& companyTitle, const QString& versionInfo,
                    const QString& startupFolder);

    QFrame* bevel1_ = nullptr;
    PictureBox* image2_ = nullptr;
    PictureBox* image1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    bool logoLoaded_ = false;
};

}  // namespace dm
