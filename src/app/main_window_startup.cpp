// SPDX-License-Identifier: GPL-3.0-or-later
// TForm1: the start-up sequence, languages, the About box, the snapshot preference and
// the ways out.
#include "app/main_window.h"

#include <chrono>
#include <thread>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "app/about_dialog.h"
#include "app/directory_dialog.h"
#include "app/glyph.h"
#include "app/ini_file.h"
#include "app/key_bindings.h"
#include "app/picture_box.h"
#include "app/system_language.h"
#include "app/user_preferences.h"
#include "base/message_numbers.h"
#include "link/device_port.h"
#include "link/frame.h"
#include "measure_window/measure_window.h"
#include "view/user_folders.h"

namespace dm {

namespace {

constexpr auto kDisconnectSettle = std::chrono::milliseconds(100);
constexpr uint8_t kGetSnapshotSelector = 1;
constexpr char kConnectGlyph[] = "Connect.bmp";
constexpr char kDisconnectGlyph[] = "Disconnect.bmp";
constexpr char kWriteFailurePrefix[] = "Unable to write to ";
constexpr char kCreateFailurePrefix[] = "Cannot create";

// Catalogue numbers of the window's texts.
enum MessageNumber {
    kFileMenuText = 1,
    kImageMenuText = 2,
    kLanguageMenuText = 3,
    kHelpMenuText = 4,
    kExitItemText = 5,
    kAboutItemText = 6,
    kMagnificationText = 19,
    kRulerText = 20,
    kConnectHint = 21,
    kDisconnectHint = 22,
};

}  // namespace

bool TForm1::FormCreate() {
    // Step 1: the logo lives in Image1. Step 2: the scratch folder is the user's cache
    // folder, not the profile.
    // Step 3, the receive-buffer lock and the live frame ring, belongs to their owners in
    // the link and view code.
    if (!LoadSystemIni()) {  // step 4
        ShowLoadFailure();
        return false;
    }
    LoadIcon();  // step 5
    setWindowTitle(parameters_.companyTitle);
    LoadLogo();                  // step 6
    if (!LoadLanguageFiles()) {  // step 7
        ShowLoadFailure();
        return false;
    }
    if (workerStart_) {  // step 8: the data thread running, the command thread waiting
        workerStart_();
    }
    QImage black(image3_->size(), QImage::Format_RGB32);  // step 9: the empty live view
    black.fill(Qt::black);
    image3_->DrawOnCanvas(QPoint(0, 0), black);
    directoryDlg_ = std::make_unique<TDirectoryDlg>();  // step 10, never shown
    ApplyButtonSet(ButtonSet::Disconnected);            // step 11
    snapShotBtn_->setEnabled(false);
    ShowStartupPicture();                  // step 12
    startupFolder_ = QDir::currentPath();  // step 13
    state_.getSnapshotSelector.store(kGetSnapshotSelector, std::memory_order_relaxed);
    DetectSystemLanguage();  // step 14
    PrepareScratchFolder();  // step 15
    return true;
}

bool TForm1::LoadSystemIni() {
    const QString path = DataFilePath(QString::fromLatin1(kSystemIniName));
    IniFile systemIni;
    if (!QFileInfo(path).isFile() || !systemIni.Load(path)) {
        return false;
    }
    parameters_ = ReadSystemParameters(systemIni);
    language_.store(parameters_.languageMode, std::memory_order_relaxed);
    catalogue_.Load(kEnglish, systemIni);
    return true;
}

bool TForm1::LoadLanguageFiles() {
    for (int language = kEnglish + 1; language < kLanguageCount; ++language) {
        const QString path = DataFilePath(QString::fromLatin1(LanguageAt(language).fileName));
        IniFile file;
        if (!QFileInfo(path).isFile() || !file.Load(path)) {
            return false;
        }
        catalogue_.Load(language, file);
    }
    return true;
}

void TForm1::LoadIcon() {
    // A missing icon keeps the default one.
    const QString path = DataFilePath(parameters_.iconFile);
    const QPixmap icon(path);
    parameters_.iconFile = path;
    if (icon.isNull()) {
        return;
    }
    setWindowIcon(QIcon(icon));
    QApplication::setWindowIcon(QIcon(icon));
}

void TForm1::LoadLogo() {
    // A missing logo leaves Image1 empty.
    const QImage logo(DataFilePath(parameters_.smallLogo));
    if (logo.isNull()) {
        return;
    }
    image1_->resize(logo.size());
    image1_->DrawOnCanvas(QPoint(0, 0), logo);
}

void TForm1::ShowStartupPicture() {
    // A missing start-up picture leaves the live view black.
    const QImage picture(DataFilePath(parameters_.startupBmp));
    if (!picture.isNull()) {
        image3_->DrawOnCanvas(QPoint(0, 0), picture);
    }
    const QSize size = image3_->Picture().size();
    image3_->setGeometry((panel1_->width() - size.width()) / 2,
                         (panel1_->height() - size.height()) / 2, size.width(), size.height());
    image3_->SetAutoSize(false);
    image3_->SetStretch(true);
}

void TForm1::PrepareScratchFolder() {
    scratchFolder_ = QDir::toNativeSeparators(UserCacheFolder() + QLatin1Char('/'));
    if (!QDir().mkpath(scratchFolder_)) {
        ReportError(QString::fromLatin1(kCreateFailurePrefix) + scratchFolder_);
    }
}

void TForm1::ShowLoadFailure() {
    ShowBoxNow({QString::fromLatin1(kLoadFailureCaption), QString::fromLatin1(kLoadFailureText),
                BoxIcon::None, BoxButtons::Ok, false});
}

void TForm1::ReportError(const QString& text) {
    ShowBoxNow({QString::fromLatin1(kBoxCaption), text, BoxIcon::Error, BoxButtons::Ok, false});
}

void TForm1::DetectSystemLanguage() {
    // A language once picked in the menu outlasts restarts; until then the locale decides.
    const int language = parameters_.languagePicked ? parameters_.languageMode
                                                    : LanguageForLocaleId(SystemLanguageId());
    language_.store(language, std::memory_order_relaxed);
    ApplyLanguage();
}

void TForm1::ApplyLanguage() {
    f1_->setTitle(Message(kFileMenuText));
    image2_->setTitle(Message(kImageMenuText));
    language1_->setTitle(Message(kLanguageMenuText));
    help1_->setTitle(Message(kHelpMenuText));
    exit1_->setText(Message(kExitItemText));
    snapshotsUnasked_->setText(Message(message::kSnapshotsUnaskedItem));
    measure1_->setText(Message(message::kMeasureMenuItem));
    measureRow_->setText(Message(message::kMeasureListItem));
    about1_->setText(Message(kAboutItemText));
    checkBox2_->setText(Message(kMagnificationText));
    checkBox1_->setText(Message(kRulerText));
    connectPrompt_->setText(Message(message::kConnectPrompt));
    // A LanguageMode outside the six shows English texts; no item is marked for it.
    if (const int current = CurrentLanguage(); current >= 0 && current < kLanguageCount) {
        languageItems_[static_cast<std::size_t>(current)]->setChecked(true);
    }

    const struct {
        const char* button;
        int message;
    } hints[] = {{"UploadBtn", 23},  {"DownloadBtn", 24}, {"SaveBtn", 25},
                 {"SaveAllBtn", 26}, {"DelBtn", 27},      {"DelAllBtn", 28}};
    for (const auto& hint : hints) {
        Button(hint.button)->setToolTip(Message(hint.message));
    }
    // The buttons that have a key name it.
    const struct {
        const char* button;
        int message;
    } keyHints[] = {{"UpBtn", message::kUpHint},
                    {"LeftBtn", message::kLeftHint},
                    {"CentralBtn", message::kCentreHint},
                    {"RightBtn", message::kRightHint},
                    {"DownBtn", message::kDownHint},
                    {"ZoomOutBtn", message::kZoomOutHint},
                    {"LockBtn", message::kLockHint},
                    {"ZoomInBtn", message::kZoomInHint},
                    {"SnapShotBtn", message::kSnapshotHint}};
    for (const auto& hint : keyHints) {
        const QString button = QString::fromLatin1(hint.button);
        Button(hint.button)->setToolTip(Message(hint.message).arg(KeyBindings::KeyName(button)));
    }
    RefreshConnectButton();
    if (measureWindow_) {
        measureWindow_->ApplyLanguage();
    }
}

void TForm1::RefreshConnectButton() {
    const QPixmap glyph =
        LoadGlyph(DataFilePath(QString::fromLatin1(connected_ ? kDisconnectGlyph : kConnectGlyph)));
    if (!glyph.isNull()) {
        connectBtn_->setIcon(QIcon(glyph));
        connectBtn_->setIconSize(glyph.size());
    }
    connectBtn_->setToolTip(Message(connected_ ? kDisconnectHint : kConnectHint));
}

void TForm1::PickLanguage(int language) {
    language_.store(language, std::memory_order_relaxed);
    ApplyLanguage();
    SaveLanguageMode();
}

void TForm1::SaveLanguageMode() {
    const QString path = DataFilePath(QString::fromLatin1(kSystemIniName));
    if (!QFileInfo(path).isFile()) {
        ShowLoadFailure();
        close();
        return;
    }
    // LanguageMode first: should the second write fail, the next start shows the new pick or
    // follows the locale, never an older LanguageMode marked as picked.
    const QString section = QString::fromLatin1(kParametersSection);
    const bool written = WriteIniValue(path, section, QString::fromLatin1(kLanguageModeKey),
                                       QString::number(CurrentLanguage())) &&
                         WriteIniValue(path, section, QString::fromLatin1(kLanguagePickedKey),
                                       QString::number(kLanguagePickedYes));
    if (!written) {
        ReportError(QString::fromLatin1(kWriteFailurePrefix) + QDir::toNativeSeparators(path));
    }
}

void TForm1::About1Click() {
    // A fresh box on every opening, so its logo is read again each time.
    TAboutDlg about(parameters_.companyTitle, parameters_.versionInfo, startupFolder_);
    dialogs_.RunDialog(about);
}

void TForm1::SnapshotsUnaskedClick(bool on) {
    if (!on) {
        preferences_->SetSnapshotsWithoutAsking(false, preferences_->SnapshotFolder());
        return;
    }
    FileRequest request{FileDialogMode::Folder,
                        {},
                        {},
                        {},
                        preferences_->SnapshotFolder(),
                        Message(message::kSnapshotFolderCaption)};
    const auto answer = ShowFileDialogNow(request);
    snapshotsUnasked_->setChecked(answer.has_value());
    if (answer) {
        preferences_->SetSnapshotsWithoutAsking(true, answer->path);
    }
}

void TForm1::SendDisconnectFrame() {
    if (port_ == nullptr || !port_->IsOpen()) {
        return;
    }
    const uint8_t disconnect[frame::kHeaderSize] = {frame::kLead, frame::kDisconnect, 0, 0};
    port_->WritePort(disconnect, static_cast<int32_t>(frame::kHeaderSize));
}

void TForm1::ReleaseWorkers() {
    bridge_.Close();
    dialogs_.CloseAll();
}

void TForm1::FormClose() {
    RunExitSteps(/*closePort=*/false);
}

void TForm1::LeaveProgram(bool askFirst) {
    if (askFirst && !leaving_ && !MeasurementsMayGo()) {
        return;
    }
    if (RunExitSteps(/*closePort=*/true)) {
        close();
        QCoreApplication::quit();
    }
}

bool TForm1::RunExitSteps(bool closePort) {
    if (leaving_) {
        return false;  // one way out already ran
    }
    leaving_ = true;
    for (QTimer* timer : {timer1_, timer2_, timer3_}) {
        timer->stop();
    }
    if (workerWithdrawal_) {
        workerWithdrawal_();
    }
    ReleaseWorkers();
    SendDisconnectFrame();
    std::this_thread::sleep_for(kDisconnectSettle);
    if (closePort && port_ != nullptr) {
        port_->ClosePort();
    }
    if (exitCleanup_) {
        exitCleanup_();
    }
    return true;
}

}  // namespace dm
