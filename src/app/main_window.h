// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TForm1: the main window. It builds the fixed layout, runs the start-up sequence, holds
// the configuration, the message catalogue and the shared device state, switches the
// language, and is the window that the worker threads talk to (WindowPort).
//
// Threads: everything but the WindowPort methods, Message() and the two check-box reads
// belongs to the window thread. WindowPort calls from a worker run on the window thread
// in the order made and return when done; once the window is closing they return at
// once with Cancel or no file.
//
// Wiring: the device and view code plug in a DevicePort (disconnect frame and closing at
// exit), the exit clean-up, and the handlers of the device buttons, the list, the check
// boxes and the timers. All are optional; without them the window stands and does nothing.

#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "app/device_button_handlers.h"
#include "app/dialog_provider.h"
#include "app/gui_call_bridge.h"
#include "app/message_catalogue.h"
#include "app/system_parameters.h"
#include "inbound/device_state.h"
#include "inbound/window_port.h"

class QCheckBox;
class QLabel;
class QMenu;
class QAction;
class QProgressBar;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace dm {

class DevicePort;
class MeasureWindow;
class PictureBox;
class TDirectoryDlg;
class UserPreferences;

inline constexpr int kClientWidth = 706;
inline constexpr int kClientHeight = 414;
inline constexpr char kBoxCaption[] = "Digital Microscope";
inline constexpr char kLoadFailureText[] = "Load system parameter fail";
inline constexpr char kLoadFailureCaption[] = "Error Message";

class TForm1 : public QMainWindow, public WindowPort {
    Q_OBJECT
  public:
    // Builds the layout. `dialogs` opens every box and dialog and outlives the window.
    explicit TForm1(DialogProvider& dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    // The start-up sequence. Returns false when System.ini or a language file is missing:
    // the box "Load system parameter fail" has been shown and the program must end.
    bool FormCreate();

    // Pieces plugged in by the device and view code; may be set before FormCreate.
    void SetDevicePort(DevicePort* port) { port_ = port; }
    void SetExitCleanup(std::function<void()> cleanup) { exitCleanup_ = std::move(cleanup); }
    // Run by FormCreate where the data thread starts and the command thread is created.
    void SetWorkerStart(std::function<void()> start) { workerStart_ = std::move(start); }
    // Run first on every way out: ends the device conversation, so that the disconnect
    // frame is the last thing the microscope receives.
    void SetWorkerWithdrawal(std::function<void()> withdraw) {
        workerWithdrawal_ = std::move(withdraw);
    }
    // Null restores the handlers that do nothing. Not owned.
    void SetHandlers(DeviceButtonHandlers* handlers);

    DeviceState& State() { return state_; }
    const SystemParameters& Parameters() const { return parameters_; }
    const MessageCatalogue& Catalogue() const { return catalogue_; }
    // The current directory captured at the end of start-up (no trailing separator).
    QString StartupFolder() const { return startupFolder_; }
    // The program's folder in the user's cache folder; ends with a separator.
    QString ScratchFolder() const { return scratchFolder_; }
    // A data file in the start-up folder (the current directory until it is captured).
    QString DataFilePath(const QString& fileName) const;
    int CurrentLanguage() const { return language_.load(std::memory_order_relaxed); }
    bool Connected() const { return connected_; }
    bool PopupMenuEnabled() const { return popupEnabled_; }

    PictureBox* Image1() const { return image1_; }
    PictureBox* Image3() const { return image3_; }
    PictureBox* Image4() const { return image4_; }
    QWidget* Panel1() const { return panel1_; }

    // Languages.
    void DetectSystemLanguage();
    void ApplyLanguage();
    void SaveLanguageMode();
    void RefreshConnectButton();
    void ShowStartupPicture();

    // Menu handlers.
    void EnglishMenuClick() { PickLanguage(kEnglish); }
    void ChineseMenuClick() { PickLanguage(kTraditionalChinese); }
    void JapanMenuClick() { PickLanguage(kJapanese); }
    void SimpleChineseMenuClick() { PickLanguage(kSimplifiedChinese); }
    void Turkish1Click() { PickLanguage(kTurkish); }
    void Russian1Click() { PickLanguage(kRussian); }
    void About1Click();
    // The two ways out that also close the port.
    // The user's ways out ask first when the measuring window holds measurements not yet
    // saved; Cancel there keeps the program running.
    void Exit1Click() { LeaveProgram(/*askFirst=*/true); }
    // File, "Save snapshots without asking": on asks for the folder first (cancel leaves
    // it off); off asks again from the next snapshot.
    void SnapshotsUnaskedClick(bool on);
    void ExitBtnClick() { LeaveProgram(/*askFirst=*/true); }
    // The termination signals' way out: asks nothing.
    void EndProgram() { LeaveProgram(/*askFirst=*/false); }

    // Measuring (main_window_measuring.cpp). File, "Measure..." (Ctrl+M) and a double
    // click on the picture measure the picture on screen, or open the window empty when
    // there is none; the list's "Measure" measures the selected row's picture.
    void MeasureClick();
    void MeasureRowClick();
    // Opens the measuring window on a picture file (the command line's --measure).
    void MeasureFile(const QString& path);
    // The measuring window, or null while it was never opened (or was closed for good).
    MeasureWindow* Measuring() const;

    // WindowPort.
    void ShowInfo(const QString& text) override;
    void ShowError(const QString& text) override;
    bool AskOkCancel(const QString& text) override;
    bool AskWarning(const QString& text) override;
    QString Message(int number) const override;
    std::optional<OpenPictureChoice> ChooseUploadPicture() override;
    std::optional<QString> ChooseSnapshotFile(const QString& name) override;
    std::optional<QString> ChooseJpegFile(const QString& name) override;
    std::optional<QString> UnaskedSnapshotFile(const QString& name) override;
    void ShowStatus(const QString& text) override;
    void SetProgress(int percent) override;
    void ApplyButtonSet(ButtonSet set) override;
    void SetEnabled(Control control, bool enabled) override;
    void SetConnected(bool connected) override;
    void SetCameraGlyph(const QString& fileName) override;
    void ClearRows() override;
    void AddRow(const PictureRow& row) override;
    void RemoveRow(int row) override;
    void MarkRowNotReceived(int row) override;
    int SelectedRow() override;
    int RowCount() override;
    void ShowPreview(const QImage& picture) override;
    void RestoreLiveViewGeometry() override;
    void SetBrowseViewVisible(bool visible) override;
    void DrawOverlaysOnBrowseView(uint8_t zoomCode, bool drawMagnification,
                                  bool drawRuler) override;
    void ShowEnlargedLiveView(const QImage& picture, const QRect& geometry) override;
    void ShowBrowsePicture(const QImage& picture) override;
    bool ShowRulerChecked() const override;
    bool ShowMagnificationChecked() const override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    using Handler = void (DeviceButtonHandlers::*)();
    struct ButtonLayout;

    void BuildWindow();
    void BuildControls(QWidget* client);
    void BuildPictureButtons(QWidget* client);
    void BuildConnectPrompt();
    void BuildMenus();
    void BuildTimers();
    QToolButton* Button(const char* name) const;

    // Start-up steps.
    bool LoadSystemIni();
    bool LoadLanguageFiles();
    void LoadIcon();
    void LoadLogo();
    void PrepareScratchFolder();
    void ShowLoadFailure();

    void PickLanguage(int language);
    void SetCaptionsAndHints();

    void FormClose();
    void LeaveProgram(bool askFirst);
    // True when nothing unsaved is in the measuring window, or the user let it go.
    bool MeasurementsMayGo();
    // Worker withdrawal, disconnect frame, 100 ms, (closing the port,) exit clean-up;
    // false when one way out already ran.
    bool RunExitSteps(bool closePort);
    void ReleaseWorkers();
    void SendDisconnectFrame();

    bool ShowBoxNow(const BoxRequest& request);
    std::optional<FileAnswer> ShowFileDialogNow(const FileRequest& request);
    // A save dialog in the last folder saved to, proposing `name` or the next free name
    // beside it; remembers the folder chosen.
    std::optional<QString> ChooseSavePathNow(const QStringList& filters, const QString& name);
    void ReportError(const QString& text);
    void Forward(Handler handler);
    MeasureWindow& OpenMeasuring();
    bool eventFilter(QObject* watched, QEvent* event) override;

    DialogProvider& dialogs_;
    GuiCallBridge bridge_;
    DeviceState state_;
    SystemParameters parameters_;
    MessageCatalogue catalogue_;
    std::atomic<int> language_{kEnglish};
    std::atomic<bool> rulerChecked_{false};
    std::atomic<bool> magnificationChecked_{false};
    QString startupFolder_;
    QString scratchFolder_;
    bool connected_ = false;
    bool popupEnabled_ = false;
    bool leaving_ = false;

    DevicePort* port_ = nullptr;
    std::function<void()> exitCleanup_;
    std::function<void()> workerStart_;
    std::function<void()> workerWithdrawal_;
    DeviceButtonHandlers noHandlers_;
    DeviceButtonHandlers* handlers_ = &noHandlers_;
    std::unique_ptr<TDirectoryDlg> directoryDlg_;
    std::unique_ptr<UserPreferences> preferences_;

    // Controls, by their names in the layout.
    QTreeWidget* listView1_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QCheckBox* checkBox2_ = nullptr;
    QWidget* panel1_ = nullptr;
    PictureBox* image1_ = nullptr;
    PictureBox* image3_ = nullptr;
    PictureBox* image4_ = nullptr;
    QLabel* connectPrompt_ = nullptr;
    std::array<QLabel*, 3> labels_{};
    QToolButton* connectBtn_ = nullptr;
    QToolButton* cameraBtn_ = nullptr;
    QToolButton* snapShotBtn_ = nullptr;
    // Download, Upload, Save, SaveAll, Del, DelAll: every button set switches them.
    std::array<QToolButton*, 6> transferButtons_{};
    // Up, Left, Central, Right, Lock: off while busy.
    std::array<QToolButton*, 5> padButtons_{};
    // Down, ZoomOut, ZoomIn: left usable while busy, so the live view can be zoomed.
    std::array<QToolButton*, 3> busyPadButtons_{};
    QMenu* f1_ = nullptr;
    QMenu* image2_ = nullptr;
    QMenu* language1_ = nullptr;
    QMenu* help1_ = nullptr;
    QAction* exit1_ = nullptr;
    QAction* snapshotsUnasked_ = nullptr;
    QAction* about1_ = nullptr;
    std::array<QAction*, kLanguageCount> languageItems_{};  // by language number
    QAction* measure1_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QAction* measureRow_ = nullptr;
    QPointer<MeasureWindow> measureWindow_;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    QTimer* timer3_ = nullptr;
};

}  // namespace dm
