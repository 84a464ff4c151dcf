// SPDX-License-Identifier: GPL-3.0-or-later
// TForm1: construction of the fixed layout, its menus and timers, and event forwarding.
#include "app/main_window.h"

#include <iterator>

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "app/directory_dialog.h"
#include "app/glyph.h"
#include "app/key_bindings.h"
#include "app/picture_box.h"
#include "app/user_preferences.h"
#include "measure_window/measure_window.h"
#include "view/user_folders.h"

namespace dm {

namespace {

constexpr int kTimer1Interval = 20;    // ms: live frame, serial poll, snapshot step
constexpr int kTimer2Interval = 1000;  // ms: download finishing
constexpr int kTimer3Interval = 500;   // ms: camera keep-alive
constexpr int kProgressMaximum = 100;
constexpr char kPreferencesFileName[] = "Preferences.ini";
constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

const char* const kFormFontFamilies[] = {"Courier New", "Liberation Mono"};
constexpr int kFormFontPoints = 8;
constexpr int kCheckBoxFontPoints = 10;
constexpr int kLabelFontPixels = 11;
const QColor kGreyText(109, 109, 109);
const QKeySequence kExitShortcut(Qt::CTRL | Qt::Key_Q);
const QKeySequence kMeasureShortcut(Qt::CTRL | Qt::Key_M);
const QRect kConnectPromptArea(0, 188, 320, 22);  // the start-up picture leaves it free
constexpr char kConnectPromptFamily[] = "DejaVu Sans";
constexpr int kConnectPromptPixels = 14;
const QColor kConnectPromptColour(200, 225, 255);

struct ColumnLayout {
    const char* title;
    int width;
};
constexpr ColumnLayout kListColumns[] = {{"Name", 90}, {"Size", 75}, {"Zoom", 45}};

QFont CourierFont() {
    QFont font;
    font.setFamilies(
        {QString::fromLatin1(kFormFontFamilies[0]), QString::fromLatin1(kFormFontFamilies[1])});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(kFormFontPoints);
    return font;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

}  // namespace

// One picture button of the layout. Buttons without a handler are the window's own.
struct TForm1::ButtonLayout {
    const char* name;
    QRect geometry;
    const char* glyphFile;
    const char* hint;
    Handler handler;
};

TForm1::TForm1(DialogProvider& dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      bridge_(this),
      preferences_(std::make_unique<UserPreferences>(
          QDir(UserDataFolder()).filePath(QString::fromLatin1(kPreferencesFileName)),
          UserPicturesFolder())) {
    BuildWindow();
}

TForm1::~TForm1() {
    // Release any worker still waiting on the window before the window's parts go.
    ReleaseWorkers();
    // The measuring window asks this window for the language until it is gone, so it goes
    // while this window is still whole, not with the children of its QWidget part.
    delete measureWindow_;
}

void TForm1::SetHandlers(DeviceButtonHandlers* handlers) {
    handlers_ = handlers != nullptr ? handlers : &noHandlers_;
}

QString TForm1::DataFilePath(const QString& fileName) const {
    const QString folder = startupFolder_.isEmpty() ? QDir::currentPath() : startupFolder_;
    return QDir(folder).filePath(fileName);
}

void TForm1::BuildWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kBoxCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(CourierFont());

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    SetTextColour(client, kGreyText);
    setCentralWidget(client);

    BuildControls(client);
    new KeyBindings(*this, *panel1_, *listView1_);  // a child of the window
    BuildMenus();
    BuildTimers();
    // Below the client area from the start, so a first message does not grow the window.
    statusBar()->setObjectName(QStringLiteral("StatusLine"));
    statusBar()->setSizeGripEnabled(false);
    // The window always takes the size of menu bar plus client area: no resizing.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm1::BuildControls(QWidget* client) {
    // Created in tab order.
    listView1_ = new QTreeWidget(client);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView1_->setGeometry(10, 96, 167, 305);
    listView1_->setColumnCount(static_cast<int>(std::size(kListColumns)));
    QStringList titles;
    for (const ColumnLayout& column : kListColumns) {
        titles.append(QString::fromLatin1(column.title));
    }
    listView1_->setHeaderLabels(titles);
    for (int column = 0; column < static_cast<int>(std::size(kListColumns)); ++column) {
        listView1_->setColumnWidth(column, kListColumns[column].width);
    }
    listView1_->header()->setStretchLastSection(false);
    listView1_->setRootIsDecorated(false);
    listView1_->setItemsExpandable(false);
    listView1_->setUniformRowHeights(true);
    listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView1_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView1_, &QTreeWidget::itemClicked, this,
            [this] { Forward(&DeviceButtonHandlers::ListView1Click); });
    connect(listView1_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (popupEnabled_) {
            popupMenu1_->popup(listView1_->viewport()->mapToGlobal(at));
        }
    });

    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* save1 = popupMenu1_->addAction(QStringLiteral("Save"));
    save1->setObjectName(QStringLiteral("Save1"));  // has no action
    QAction* delete1 = popupMenu1_->addAction(QStringLiteral("Delete"));
    delete1->setObjectName(QStringLiteral("Delete1"));
    connect(delete1, &QAction::triggered, this,
            [this] { Forward(&DeviceButtonHandlers::Delete1Click); });
    measureRow_ = popupMenu1_->addAction(QString());
    measureRow_->setObjectName(QStringLiteral("MeasureRow"));
    connect(measureRow_, &QAction::triggered, this, [this] { MeasureRowClick(); });

    progressBar1_ = new QProgressBar(client);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setGeometry(8, 72, 169, 16);
    progressBar1_->setRange(0, kProgressMaximum);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(false);

    BuildPictureButtons(client);

    panel1_ = new QWidget(client);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setGeometry(208, 112, kPictureWidth, kPictureHeight);
    panel1_->setFocusPolicy(Qt::TabFocus);
    image3_ = new PictureBox(panel1_);
    image3_->setObjectName(QStringLiteral("Image3"));
    image3_->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    image4_ = new PictureBox(panel1_);
    image4_->setObjectName(QStringLiteral("Image4"));
    image4_->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    image4_->raise();
    // A double click on the picture measures it.
    for (QWidget* picture : {static_cast<QWidget*>(image3_), static_cast<QWidget*>(image4_)}) {
        picture->installEventFilter(this);
    }
    BuildConnectPrompt();

    image1_ = new PictureBox(client);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(8, 16, 75, 50);

    const QPoint labelPositions[] = {{288, 80}, {352, 80}, {432, 80}};
    QFont labelFont = CourierFont();
    labelFont.setPixelSize(kLabelFontPixels);
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        const QString name = QStringLiteral("Label%1").arg(i + 1);
        labels_[i] = new QLabel(name, client);
        labels_[i]->setObjectName(name);
        labels_[i]->setFont(labelFont);
        labels_[i]->setGeometry(QRect(labelPositions[i], QSize(42, 14)));
        SetTextColour(labels_[i], palette().color(QPalette::ToolTipText));
        labels_[i]->hide();
    }
}

void TForm1::BuildConnectPrompt() {
    // Over the start-up picture, in the current language, until the first connection.
    connectPrompt_ = new QLabel(panel1_);
    connectPrompt_->setObjectName(QStringLiteral("ConnectPrompt"));
    connectPrompt_->setGeometry(kConnectPromptArea);
    connectPrompt_->setAlignment(Qt::AlignCenter);
    connectPrompt_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font(QString::fromLatin1(kConnectPromptFamily));
    font.setPixelSize(kConnectPromptPixels);
    connectPrompt_->setFont(font);
    SetTextColour(connectPrompt_, kConnectPromptColour);
    connectPrompt_->raise();
}

void TForm1::BuildPictureButtons(QWidget* client) {
    using H = DeviceButtonHandlers;
    const ButtonLayout buttons[] = {
        {"ConnectBtn", {96, 8, 57, 57}, "Connect.bmp", "1234", &H::ConnectBtnClick},
        {"DownloadBtn", {160, 8, 57, 57}, "Download.bmp", "", &H::DownloadBtnClick},
        {"UploadBtn", {224, 8, 57, 57}, "Upload.bmp", "", &H::UploadBtnClick},
        {"SaveBtn", {288, 8, 57, 57}, "Save.bmp", "", &H::SaveBtnClick},
        {"SaveAllBtn", {352, 8, 57, 57}, "SaveAll.bmp", "", &H::SaveAllBtnClick},
        {"CameraBtn", {544, 8, 57, 57}, "Camera-On.bmp", "", &H::CameraBtnClick},
        {"DelBtn", {416, 8, 57, 57}, "Delete.bmp", "", &H::DelBtnClick},
        {"DelAllBtn", {480, 8, 57, 57}, "DeleteAll.bmp", "", &H::DelAllBtnClick},
        {"SnapShotBtn", {608, 8, 57, 57}, "Snapshot.bmp", "", &H::SnapShotBtnClick},
        {"ExitBtn", {592, 352, 57, 57}, "Exit.bmp", "Exit", nullptr},
        {"ZoomOutBtn", {552, 144, 57, 41}, "ZoomOut.bmp", "", &H::ZoomOutBtnClick},
        {"LockBtn", {592, 96, 57, 41}, "Lock.bmp", "", &H::LockBtnClick},
        {"ZoomInBtn", {632, 144, 57, 41}, "ZoomIn.bmp", "", &H::ZoomInBtnClick},
        {"UpBtn", {584, 192, 73, 33}, "Up.bmp", "", &H::UpBtnClick},
        {"LeftBtn", {544, 216, 33, 73}, "Left.bmp", "", &H::LeftBtnClick},
        {"CentralBtn", {600, 232, 41, 41}, "Central.bmp", "", &H::CentralBtnClick},
        {"DownBtn", {584, 280, 73, 33}, "Down.bmp", "", &H::DownBtnClick},
        {"RightBtn", {664, 216, 33, 73}, "Right.bmp", "", &H::RightBtnClick},
    };
    for (const ButtonLayout& layout : buttons) {
        auto* button = new QToolButton(client);
        button->setObjectName(QString::fromLatin1(layout.name));
        button->setGeometry(layout.geometry);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setToolTip(QString::fromUtf8(layout.hint));
        const QPixmap glyph = LoadGlyph(DataFilePath(QString::fromLatin1(layout.glyphFile)));
        if (!glyph.isNull()) {
            button->setIcon(QIcon(glyph));
            button->setIconSize(glyph.size());
        }
        if (layout.handler != nullptr) {
            const Handler handler = layout.handler;
            connect(button, &QToolButton::clicked, this, [this, handler] { Forward(handler); });
        } else {
            // ExitBtn is the window's own; the check boxes follow it in the tab order.
            connect(button, &QToolButton::clicked, this, [this] { ExitBtnClick(); });
            QFont checkFont = CourierFont();
            checkFont.setPointSize(kCheckBoxFontPoints);
            checkFont.setBold(true);
            checkBox1_ = new QCheckBox(QStringLiteral("Show Ruler"), client);
            checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
            checkBox1_->setGeometry(208, 384, 305, 25);
            checkBox2_ = new QCheckBox(QStringLiteral("Show Magnification"), client);
            checkBox2_->setObjectName(QStringLiteral("CheckBox2"));
            checkBox2_->setGeometry(208, 360, 305, 17);
            for (QCheckBox* box : {checkBox1_, checkBox2_}) {
                box->setFont(checkFont);
                SetTextColour(box, palette().color(QPalette::WindowText));
            }
            connect(checkBox1_, &QCheckBox::toggled, this, [this](bool checked) {
                rulerChecked_.store(checked, std::memory_order_relaxed);
                Forward(&DeviceButtonHandlers::CheckBox1Click);
            });
            connect(checkBox2_, &QCheckBox::toggled, this, [this](bool checked) {
                magnificationChecked_.store(checked, std::memory_order_relaxed);
                Forward(&DeviceButtonHandlers::CheckBox2Click);
            });
        }
    }
    connectBtn_ = Button("ConnectBtn");
    cameraBtn_ = Button("CameraBtn");
    snapShotBtn_ = Button("SnapShotBtn");
    transferButtons_ = {Button("DownloadBtn"), Button("UploadBtn"), Button("SaveBtn"),
                        Button("SaveAllBtn"),  Button("DelBtn"),    Button("DelAllBtn")};
    padButtons_ = {Button("UpBtn"), Button("LeftBtn"), Button("CentralBtn"), Button("RightBtn"),
                   Button("LockBtn")};
    busyPadButtons_ = {Button("DownBtn"), Button("ZoomOutBtn"), Button("ZoomInBtn")};
}

QToolButton* TForm1::Button(const char* name) const {
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto addMenu = [bar](const char* name, const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItem = [](QMenu* menu, const char* name, const QString& text) {
        QAction* item = menu->addAction(text);
        item->setObjectName(QString::fromLatin1(name));
        return item;
    };

    f1_ = addMenu("F1", QStringLiteral("&File"));
    snapshotsUnasked_ = addItem(f1_, "SnapshotsUnasked", QString());
    snapshotsUnasked_->setCheckable(true);
    snapshotsUnasked_->setChecked(preferences_->SnapshotsWithoutAsking());
    connect(snapshotsUnasked_, &QAction::triggered, this,
            [this](bool on) { SnapshotsUnaskedClick(on); });
    measure1_ = addItem(f1_, "Measure1", QString());
    measure1_->setShortcut(kMeasureShortcut);
    connect(measure1_, &QAction::triggered, this, [this] { MeasureClick(); });
    f1_->addSeparator();
    exit1_ = addItem(f1_, "Exit1", QStringLiteral("E&xit"));
    exit1_->setShortcut(kExitShortcut);
    connect(exit1_, &QAction::triggered, this, [this] { Exit1Click(); });

    // Kept for its captions; the user cannot reach it.
    image2_ = addMenu("Image2", QStringLiteral("Image"));
    addItem(image2_, "N320X2401", QStringLiteral("320 X 240"));
    addItem(image2_, "N640X4801", QStringLiteral("640 X 480"));
    image2_->menuAction()->setVisible(false);

    language1_ = addMenu("Language1", QStringLiteral("Language"));
    const struct {
        const char* name;
        int language;
    } languageItems[] = {{"EnglishMenu", kEnglish}, {"ChineseMenu", kTraditionalChinese},
                         {"JapanMenu", kJapanese},  {"SimpleChineseMenu", kSimplifiedChinese},
                         {"Turkish1", kTurkish},    {"Russian1", kRussian}};
    // One item checked at a time: the current language.
    auto* languages = new QActionGroup(language1_);
    for (const auto& item : languageItems) {
        QAction* action = addItem(language1_, item.name,
                                  QString::fromUtf8(LanguageAt(item.language).menuCaption));
        action->setCheckable(true);
        languages->addAction(action);
        languageItems_[static_cast<std::size_t>(item.language)] = action;
        const int language = item.language;
        connect(action, &QAction::triggered, this, [this, language] { PickLanguage(language); });
    }

    help1_ = addMenu("Help1", QStringLiteral("&Help"));
    about1_ = addItem(help1_, "About1", QStringLiteral("&About"));
    connect(about1_, &QAction::triggered, this, [this] { About1Click(); });
}

void TForm1::BuildTimers() {
    const struct {
        const char* name;
        int interval;
        Handler handler;
        QTimer** timer;
    } timers[] = {
        {"Timer1", kTimer1Interval, &DeviceButtonHandlers::Timer1Timer, &timer1_},
        {"Timer2", kTimer2Interval, &DeviceButtonHandlers::Timer2Timer, &timer2_},
        {"Timer3", kTimer3Interval, &DeviceButtonHandlers::Timer3Timer, &timer3_},
    };
    for (const auto& layout : timers) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(layout.name));
        timer->setInterval(layout.interval);
        const Handler handler = layout.handler;
        connect(timer, &QTimer::timeout, this, [this, handler] { Forward(handler); });
        timer->start();
        *layout.timer = timer;
    }
}

void TForm1::Forward(Handler handler) {
    if (leaving_) {
        return;
    }
    (handlers_->*handler)();
}

void TForm1::changeEvent(QEvent* event) {
    // Some window managers maximise on a title-bar double click whatever the size hints say.
    if (event->type() == QEvent::WindowStateChange && isMaximized()) {
        setWindowState(windowState() & ~Qt::WindowMaximized);
    }
    QMainWindow::changeEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!leaving_ && !MeasurementsMayGo()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

}  // namespace dm
