// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/measure_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>

#include "app/dialog_provider.h"
#include "app/message_catalogue.h"
#include "app/user_preferences.h"
#include "base/message_numbers.h"
#include "measure/geometry.h"
#include "measure/measurement_painter.h"
#include "measure/results_csv.h"
#include "measure_window/calibration_dialog.h"
#include "measure_window/known_length.h"
#include "measure_window/measure_canvas.h"
#include "measure_window/measurement_commands.h"
#include "measure_window/results_table.h"
#include "view/calibration_book.h"
#include "view/jpeg_codec.h"
#include "view/live_frame_ring.h"
#include "view/picture_files.h"
#include "view/picture_stamp.h"

namespace dm {

namespace {

using measure::Measurement;
using measure::Tool;

constexpr QSize kStartSize(1100, 720);
constexpr int kCanvasStretch = 3;  // of 5: the results table needs room for its words
constexpr int kResultsStretch = 2;
constexpr int kDefaultDecimals = 3;
constexpr int kMostDecimals = 6;
constexpr int kGroupSwatch = 12;                  // pixels, the colour squares of the count groups
constexpr int kStatusTimeout = 5000;              // milliseconds a passing status message stays
constexpr double kShortestCalibrationLine = 1.0;  // picture pixels
constexpr int kScaleDecimals = 1;
constexpr int kFileMenu = 1;  // the language files' own "&File"
const char* const kDateFormat = "yyyy-MM-dd";

struct UnitItem {
    measure::LengthUnit unit;
    const char* symbol;  // none: the catalogue's "Auto"
};
constexpr UnitItem kUnitItems[] = {
    {measure::LengthUnit::kAuto, nullptr},
    {measure::LengthUnit::kMicrometre, "\u00B5m"},
    {measure::LengthUnit::kMillimetre, "mm"},
    {measure::LengthUnit::kPixel, "px"},
};

struct CornerItem {
    measure::Corner corner;
    int text;
};
constexpr CornerItem kCornerItems[] = {
    {measure::Corner::kBottomRight, message::kBottomRight},
    {measure::Corner::kBottomLeft, message::kBottomLeft},
    {measure::Corner::kTopRight, message::kTopRight},
    {measure::Corner::kTopLeft, message::kTopLeft},
};

struct SaveFormat {
    int filter;
    const char* pattern;
    const char* suffix;
};
constexpr SaveFormat kSaveFormats[] = {
    {message::kJpegFilter, "*.jpg *.jpeg", "jpg"},
    {message::kPngFilter, "*.png", "png"},
    {message::kBmpFilter, "*.bmp", "bmp"},
};

QIcon GroupIcon(int group) {
    QPixmap swatch(kGroupSwatch, kGroupSwatch);
    swatch.fill(measure::CountGroupColour(group));
    return QIcon(swatch);
}

}  // namespace

MeasureWindow::MeasureWindow(const MessageCatalogue& catalogue, DialogProvider& dialogs,
                             std::function<int()> language, UserPreferences* preferences,
                             QWidget* parent)
    : QMainWindow(parent),
      catalogue_(catalogue),
      dialogs_(dialogs),
      language_(std::move(language)),
      preferences_(preferences),
      canvas_(new MeasureCanvas(this)),
      results_(new QTableWidget(this)),
      scaleLabel_(new QLabel(this)) {
    setObjectName(QStringLiteral("MeasureWindow"));
    setWindowFlag(Qt::Window);
    resize(kStartSize);

    results_->setObjectName(QStringLiteral("MeasureResults"));
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->setSelectionMode(QAbstractItemView::SingleSelection);
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->verticalHeader()->setVisible(false);
    results_->horizontalHeader()->setStretchLastSection(true);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(canvas_);
    splitter->addWidget(results_);
    splitter->setStretchFactor(0, kCanvasStretch);
    splitter->setStretchFactor(1, kResultsStretch);
    splitter->setSizes({kStartSize.width() * kCanvasStretch / (kCanvasStretch + kResultsStretch),
                        kStartSize.width() * kResultsStretch / (kCanvasStretch + kResultsStretch)});
    setCentralWidget(splitter);
    scaleLabel_->setObjectName(QStringLiteral("MeasureScale"));
    statusBar()->addPermanentWidget(scaleLabel_);

    canvas_->SetMeasurements(&list_.All());
    BuildActions();
    BuildMenus();
    BuildToolBars();

    connect(&list_, &MeasurementList::Changed, this, [this] {
        if (canvas_->Selected() >= list_.Size()) {
            canvas_->SetSelected(-1);
        }
        canvas_->update();
        RefreshResults();
    });
    connect(&undo_, &QUndoStack::cleanChanged, this, [this] { RefreshTitle(); });
    connect(&undo_, &QUndoStack::canUndoChanged, undoAction_, &QAction::setEnabled);
    connect(&undo_, &QUndoStack::canRedoChanged, redoAction_, &QAction::setEnabled);
    connect(canvas_, &MeasureCanvas::Placed, this, &MeasureWindow::OnPlaced);
    connect(canvas_, &MeasureCanvas::Changed, this, &MeasureWindow::OnChanged);
    connect(canvas_, &MeasureCanvas::SelectionChanged, this, &MeasureWindow::OnCanvasSelection);
    connect(canvas_, &MeasureCanvas::FreezeRequested, this, &MeasureWindow::Freeze);
    connect(results_, &QTableWidget::itemSelectionChanged, this, &MeasureWindow::OnTableSelection);
    undoAction_->setEnabled(false);
    redoAction_->setEnabled(false);
    SetLiveAvailable(false);
    ApplyLanguage();
}

MeasureWindow::~MeasureWindow() {
    // The commands refer to the list; they go first.
    undo_.clear();
}

QString MeasureWindow::Text(int number) const {
    return catalogue_.Text(language_(), number);
}

QWidget* MeasureWindow::Canvas() const {
    return canvas_;
}

QAction* MeasureWindow::AddAction(int number, const QKeySequence& key,
                                  void (MeasureWindow::*slot)()) {
    auto* action = new QAction(this);
    if (!key.isEmpty()) {
        action->setShortcut(key);
    }
    if (slot != nullptr) {
        connect(action, &QAction::triggered, this, slot);
    }
    addAction(action);
    actionTexts_.emplace_back(action, number);
    return action;
}

QAction* MeasureWindow::AddToolAction(int number, std::optional<Tool> tool, Qt::Key key) {
    auto* action = new QAction(this);
    action->setCheckable(true);
    if (key != Qt::Key_unknown) {
        action->setShortcut(QKeySequence(key));
    }
    action->setData(tool ? static_cast<int>(*tool) : -1);
    tools_->addAction(action);
    connect(action, &QAction::triggered, this, [this, tool] { canvas_->SetTool(tool); });
    actionTexts_.emplace_back(action, number);
    return action;
}

void MeasureWindow::BuildActions() {
    tools_ = new QActionGroup(this);
    tools_->setExclusive(true);
    selectTool_ = AddToolAction(message::kToolSelect, std::nullopt, Qt::Key_S);
    AddToolAction(message::kToolLine, Tool::kLine, Qt::Key_L);
    AddToolAction(message::kToolPolyline, Tool::kPolyline, Qt::Key_P);
    AddToolAction(message::kToolAngle, Tool::kAngle, Qt::Key_A);
    AddToolAction(message::kToolCircle, Tool::kCircle, Qt::Key_C);
    AddToolAction(message::kToolRectangle, Tool::kRectangle, Qt::Key_R);
    AddToolAction(message::kToolPolygon, Tool::kPolygon, Qt::Key_G);
    AddToolAction(message::kToolCount, Tool::kCount, Qt::Key_N);
    AddToolAction(message::kToolCalibrate, Tool::kCalibrate, Qt::Key_K);
    selectTool_->setChecked(true);
    for (QAction* action : tools_->actions()) {
        action->setObjectName(QStringLiteral("Tool%1").arg(action->data().toInt()));
        addAction(action);
    }
    selectTool_->setObjectName(QStringLiteral("ToolSelect"));

    undoAction_ = AddAction(message::kUndoItem, QKeySequence::Undo, nullptr);
    connect(undoAction_, &QAction::triggered, &undo_, &QUndoStack::undo);
    redoAction_ =
        AddAction(message::kRedoItem, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), nullptr);
    connect(redoAction_, &QAction::triggered, &undo_, &QUndoStack::redo);
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    AddAction(message::kDeleteItem, QKeySequence::Delete, &MeasureWindow::DeleteSelected);
    AddAction(message::kCopyItem, QKeySequence::Copy, &MeasureWindow::Copy);
    AddAction(message::kClearItem, QKeySequence(), &MeasureWindow::ClearAll);
    auto* cancel = new QAction(this);
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(cancel, &QAction::triggered, this, &MeasureWindow::Cancel);
    addAction(cancel);

    forgetAction_ = AddAction(message::kForgetCalibrationItem, QKeySequence(),
                              &MeasureWindow::ForgetCalibration);
    forgetAction_->setObjectName(QStringLiteral("ForgetCalibration"));
    liveAction_ = new QAction(this);
    liveAction_->setCheckable(true);
    liveAction_->setObjectName(QStringLiteral("MeasureLive"));
    connect(liveAction_, &QAction::toggled, this, &MeasureWindow::LiveToggled);
    actionTexts_.emplace_back(liveAction_, message::kLiveItem);

    scaleBarAction_ = new QAction(this);
    scaleBarAction_->setCheckable(true);
    connect(scaleBarAction_, &QAction::toggled, this, [this] { RefreshScaleBar(); });
    actionTexts_.emplace_back(scaleBarAction_, message::kScaleBarItem);
    corners_ = new QActionGroup(this);
    for (const CornerItem& item : kCornerItems) {
        auto* action = new QAction(corners_);
        action->setCheckable(true);
        action->setData(static_cast<int>(item.corner));
        action->setChecked(item.corner == measure::Corner::kBottomRight);
        actionTexts_.emplace_back(action, item.text);
    }
    connect(corners_, &QActionGroup::triggered, this, [this] { RefreshScaleBar(); });
}

void MeasureWindow::BuildMenus() {
    auto addMenu = [this](int number) {
        QMenu* menu = menuBar()->addMenu(QString());
        menuTexts_.emplace_back(menu, number);
        return menu;
    };
    auto find = [this](int number) {
        for (const auto& [action, text] : actionTexts_) {
            if (text == number) {
                return action;
            }
        }
        return static_cast<QAction*>(nullptr);
    };
    QMenu* file = addMenu(kFileMenu);
    file->addAction(AddAction(message::kOpenPictureItem, QKeySequence::Open, &MeasureWindow::Open));
    file->addAction(
        AddAction(message::kSavePictureItem, QKeySequence::Save, &MeasureWindow::SavePicture));
    file->addAction(AddAction(message::kSaveMarkedPictureItem, QKeySequence(),
                              &MeasureWindow::SaveMarkedPicture));
    file->addAction(AddAction(message::kExportCsvItem, QKeySequence(), &MeasureWindow::ExportCsv));

    QMenu* edit = addMenu(message::kEditMenu);
    edit->addAction(undoAction_);
    edit->addAction(redoAction_);
    edit->addSeparator();
    edit->addAction(find(message::kCopyItem));
    edit->addAction(find(message::kDeleteItem));
    edit->addAction(find(message::kClearItem));

    QMenu* tools = addMenu(message::kToolsMenu);
    tools->addActions(tools_->actions());
    tools->addSeparator();
    tools->addAction(forgetAction_);

    QMenu* view = addMenu(message::kViewMenu);
    view->addAction(
        AddAction(message::kZoomInItem, QKeySequence(Qt::Key_Plus), &MeasureWindow::ZoomIn));
    find(message::kZoomInItem)
        ->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)});
    view->addAction(
        AddAction(message::kZoomOutItem, QKeySequence(Qt::Key_Minus), &MeasureWindow::ZoomOut));
    view->addAction(
        AddAction(message::kActualSizeItem, QKeySequence(Qt::Key_1), &MeasureWindow::ActualSize));
    view->addAction(AddAction(message::kFitItem, QKeySequence(Qt::Key_0), &MeasureWindow::Fit));
    view->addSeparator();
    view->addAction(liveAction_);
    view->addSeparator();
    view->addAction(scaleBarAction_);
    view->addActions(corners_->actions());
}

void MeasureWindow::BuildToolBars() {
    auto find = [this](int number) {
        for (const auto& [action, text] : actionTexts_) {
            if (text == number) {
                return action;
            }
        }
        return static_cast<QAction*>(nullptr);
    };
    auto label = [this](int number) {
        auto* shown = new QLabel(this);
        labelTexts_.emplace_back(shown, number);
        return shown;
    };
    QToolBar* bar = addToolBar(QStringLiteral("Measure"));
    bar->setObjectName(QStringLiteral("MeasureToolBar"));
    bar->setMovable(false);
    bar->addAction(find(message::kOpenPictureItem));
    bar->addAction(find(message::kSavePictureItem));
    bar->addSeparator();
    bar->addAction(undoAction_);
    bar->addAction(redoAction_);
    bar->addSeparator();
    bar->addAction(find(message::kActualSizeItem));
    bar->addAction(find(message::kFitItem));
    bar->addAction(liveAction_);
    bar->addAction(scaleBarAction_);
    bar->addSeparator();
    bar->addWidget(label(message::kUnitLabel));
    unitBox_ = new QComboBox(this);
    unitBox_->setObjectName(QStringLiteral("MeasureUnit"));
    for (const UnitItem& item : kUnitItems) {
        unitBox_->addItem(item.symbol ? QString::fromUtf8(item.symbol) : QString(),
                          static_cast<int>(item.unit));
    }
    bar->addWidget(unitBox_);
    bar->addWidget(label(message::kDecimalsLabel));
    decimals_ = new QSpinBox(this);
    decimals_->setObjectName(QStringLiteral("MeasureDecimals"));
    decimals_->setRange(0, kMostDecimals);
    decimals_->setValue(kDefaultDecimals);
    bar->addWidget(decimals_);
    connect(unitBox_, &QComboBox::currentIndexChanged, this, [this] { RefreshResults(); });
    connect(decimals_, &QSpinBox::valueChanged, this, [this] { RefreshResults(); });

    addToolBarBreak();
    QToolBar* toolsBar = addToolBar(QStringLiteral("Tools"));
    toolsBar->setObjectName(QStringLiteral("MeasureTools"));
    toolsBar->setMovable(false);
    toolsBar->addActions(tools_->actions());
    toolsBar->addSeparator();
    toolsBar->addWidget(label(message::kGroupLabel));
    groupBox_ = new QComboBox(this);
    groupBox_->setObjectName(QStringLiteral("MeasureGroup"));
    for (int group = 0; group < measure::kCountGroups; ++group) {
        groupBox_->addItem(GroupIcon(group), QString::number(group + 1));
    }
    connect(groupBox_, &QComboBox::currentIndexChanged, this,
            [this](int group) { canvas_->SetCountGroup(group); });
    toolsBar->addWidget(groupBox_);
}

void MeasureWindow::ApplyLanguage() {
    for (const auto& [action, number] : actionTexts_) {
        action->setText(Text(number));
        if (!action->shortcut().isEmpty()) {
            action->setToolTip(QStringLiteral("%1 (%2)").arg(
                Text(number), action->shortcut().toString(QKeySequence::NativeText)));
        }
    }
    for (const auto& [menu, number] : menuTexts_) {
        menu->setTitle(Text(number));
    }
    for (const auto& [label, number] : labelTexts_) {
        label->setText(Text(number));
    }
    unitBox_->setItemText(0, Text(message::kUnitAuto));
    RefreshTitle();
    RefreshScale();
}

QString MeasureWindow::ProposedName(const QString& suffix) const {
    const QString base = picture_.path.isEmpty() && picture_.name.contains(u'.')
                             ? QFileInfo(picture_.name).completeBaseName()
                         : picture_.path.isEmpty()
                             ? QStringLiteral("measure_") + QDateTime::currentDateTime().toString(
                                                                QStringLiteral("yyyyMMdd_HHmmss"))
                             : QFileInfo(picture_.path).completeBaseName();
    return base + u'.' + suffix;
}

QString MeasureWindow::StartFolder() const {
    if (!picture_.path.isEmpty()) {
        return QFileInfo(picture_.path).absolutePath();
    }
    return preferences_ != nullptr ? preferences_->SaveFolder() : QString();
}

void MeasureWindow::Box(const QString& text, bool error) {
    BoxRequest request;
    request.caption = windowTitle().remove(QStringLiteral("[*]"));
    request.text = text;
    request.icon = error ? BoxIcon::Error : BoxIcon::Information;
    dialogs_.ShowBox(this, request);
}

bool MeasureWindow::ConfirmDrop() {
    if (list_.Size() == 0 || undo_.isClean()) {
        return true;
    }
    BoxRequest request;
    request.caption = windowTitle().remove(QStringLiteral("[*]"));
    request.text = Text(message::kDropMeasurementsQuestion).arg(picture_.name);
    request.buttons = BoxButtons::OkCancel;
    return dialogs_.ShowBox(this, request);
}

void MeasureWindow::ShowPicture(const measure::MeasuredPicture& picture) {
    if (!ConfirmDrop()) {
        return;
    }
    liveAction_->setChecked(false);
    Load(picture, {});
}

bool MeasureWindow::OpenFile(const QString& path) {
    if (!ConfirmDrop()) {
        return false;
    }
    const measure::OpenedPicture opened = measure::OpenPictureForMeasuring(path);
    if (opened.result != measure::PictureOpening::kOpened) {
        Box(Text(message::kMeasurePictureUnreadable).arg(QDir::toNativeSeparators(path)), true);
        return false;
    }
    if (opened.sheet.status == measure::SheetStatus::kDamaged) {
        Box(Text(message::kSheetDamaged).arg(QDir::toNativeSeparators(path), opened.sheet.detail),
            true);
    }
    liveAction_->setChecked(false);
    Load(opened.picture, opened.sheet.status == measure::SheetStatus::kRead
                             ? opened.sheet.sheet.measurements
                             : std::vector<Measurement>{});
    return true;
}

void MeasureWindow::Load(const measure::MeasuredPicture& picture,
                         const std::vector<Measurement>& measurements) {
    undo_.clear();
    picture_ = picture;
    pictureOnly_.reset();
    canvas_->CancelPlacing();
    canvas_->SetSelected(-1);
    list_.SetAll(measurements);
    canvas_->SetPicture(picture_.image, false);
    RefreshScale();
    RefreshTitle();
}

void MeasureWindow::RefreshTitle() {
    setWindowTitle(Text(message::kMeasureTitle).arg(picture_.name) + QStringLiteral("[*]"));
    setWindowModified(list_.Size() > 0 && !undo_.isClean());
}

void MeasureWindow::RefreshScale() {
    const int width = picture_.image.width();
    if (pictureOnly_) {
        scale_ = *pictureOnly_;
    } else if (picture_.zoomCode) {
        scale_ = ScaleOf(*picture_.zoomCode, width);
    } else {
        scale_ = picture_.scale;
    }
    QString source;
    switch (scale_.source) {
        case ScaleSource::kCalibrated:
            source = Text(message::kScaleCalibrated)
                         .arg(scale_.calibratedOn.toString(QString::fromLatin1(kDateFormat)));
            break;
        case ScaleSource::kNominal:
            source = Text(message::kScaleNominal);
            break;
        case ScaleSource::kNone:
            source = Text(message::kScaleNone);
            break;
    }
    scaleLabel_->setText(
        scale_.Known()
            ? Text(message::kScaleValue).arg(scale_.pixelsPerMillimetre, 0, 'f', kScaleDecimals) +
                  QStringLiteral(", ") + source
            : source);
    const bool bookEntry =
        picture_.zoomCode && CalibrationBook::Shared().Find(*picture_.zoomCode).has_value();
    forgetAction_->setEnabled(bookEntry || pictureOnly_.has_value());
    RefreshScaleBar();
    RefreshResults();
}

void MeasureWindow::RefreshScaleBar() {
    const QAction* corner = corners_->checkedAction();
    std::optional<measure::ScaleBar> bar;
    if (scaleBarAction_->isChecked()) {
        bar = measure::ChooseScaleBar(scale_, picture_.image.width());
    }
    canvas_->SetScaleBar(bar, corner ? static_cast<measure::Corner>(corner->data().toInt())
                                     : measure::Corner::kBottomRight);
}

measure::UnitChoice MeasureWindow::Units() const {
    measure::UnitChoice units;
    units.unit = static_cast<measure::LengthUnit>(unitBox_->currentData().toInt());
    units.decimals = decimals_->value();
    return units;
}

void MeasureWindow::RefreshResults() {
    if (unitBox_ == nullptr) {
        return;  // still building the window
    }
    const TextOf text = [this](int number) { return Text(number); };
    syncingSelection_ = true;
    FillResultsTable(*results_, ResultHeader(text), ResultRows(list_.All(), scale_, Units(), text));
    const int selected = canvas_->Selected();
    if (selected >= 0 && selected < results_->rowCount()) {
        results_->selectRow(selected);
    } else {
        results_->clearSelection();
    }
    syncingSelection_ = false;
}

void MeasureWindow::OnCanvasSelection(int index) {
    syncingSelection_ = true;
    if (index >= 0 && index < results_->rowCount()) {
        results_->selectRow(index);
    } else {
        results_->clearSelection();
    }
    syncingSelection_ = false;
}

void MeasureWindow::OnTableSelection() {
    if (syncingSelection_) {
        return;
    }
    const QList<QTableWidgetItem*> selected = results_->selectedItems();
    canvas_->SetSelected(selected.isEmpty() ? -1 : selected.front()->row());
}

void MeasureWindow::OnPlaced(const Measurement& measurement) {
    switch (measurement.tool) {
        case Tool::kCalibrate:
            Calibrate(measurement.points);
            return;
        case Tool::kCount:
            AddCountMark(measurement);
            return;
        case Tool::kCircle:
            if (!measure::CircleThrough(measurement.points[0], measurement.points[1],
                                        measurement.points[2])) {
                Box(Text(message::kCollinearCircle), true);
                return;
            }
            break;
        default:
            break;
    }
    undo_.push(new AddMeasurementCommand(list_, measurement));
    canvas_->SetSelected(list_.Size() - 1);
    OnCanvasSelection(list_.Size() - 1);
}

// A mark joins the count of its colour group; the first mark of a group starts one.
void MeasureWindow::AddCountMark(const Measurement& mark) {
    for (int i = 0; i < list_.Size(); ++i) {
        const Measurement& count = list_.At(i);
        if (count.tool == Tool::kCount && count.group == mark.group) {
            Measurement after = count;
            after.points.insert(after.points.end(), mark.points.begin(), mark.points.end());
            undo_.push(new ChangeMeasurementCommand(list_, i, count, after, false));
            return;
        }
    }
    undo_.push(new AddMeasurementCommand(list_, mark));
}

void MeasureWindow::OnChanged(int index, const Measurement& before, const Measurement& after,
                              bool nudge) {
    undo_.push(new ChangeMeasurementCommand(list_, index, before, after, nudge));
}

void MeasureWindow::Calibrate(const std::vector<QPointF>& line) {
    const double pixels = measure::Distance(line[0], line[1]);
    if (pixels < kShortestCalibrationLine) {
        Box(Text(message::kLineTooShort), true);
        return;
    }
    CalibrationDialog dialog([this](int number) { return Text(number); }, pixels, this);
    if (dialogs_.RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const std::optional<double> millimetres = ParseKnownLength(dialog.LengthText(), dialog.Unit());
    if (!millimetres) {
        Box(Text(message::kBadKnownLength), true);
        return;
    }
    const double pixelsPerMillimetre = pixels / *millimetres;
    const QDate today = QDate::currentDate();
    if (!picture_.zoomCode) {
        const std::optional<PictureScale> before = pictureOnly_;
        const PictureScale after{pixelsPerMillimetre, ScaleSource::kCalibrated, today};
        auto apply = [this, before, after](bool forward) {
            pictureOnly_ = forward ? std::optional<PictureScale>(after) : before;
            RefreshScale();
        };
        undo_.push(new SwitchCommand(apply, false));
        Box(Text(message::kPictureOnlyCalibration), false);
        return;
    }
    const uint8_t zoomCode = *picture_.zoomCode;
    const std::optional<Calibration> before = CalibrationBook::Shared().Find(zoomCode);
    const Calibration after{pixelsPerMillimetre * kPanelWidth / picture_.image.width(), today};
    QString why;
    if (!CalibrationBook::Shared().Set(zoomCode, after, &why)) {
        Box(Text(message::kCalibrationNotSaved).arg(why), true);
        return;
    }
    auto apply = [this, zoomCode, before, after](bool forward) {
        SetCalibration(zoomCode, forward ? std::optional<Calibration>(after) : before);
    };
    undo_.push(new SwitchCommand(apply, true));
    RefreshScale();
}

void MeasureWindow::SetCalibration(uint8_t zoomCode,
                                   const std::optional<Calibration>& calibration) {
    QString why;
    const bool written = calibration ? CalibrationBook::Shared().Set(zoomCode, *calibration, &why)
                                     : CalibrationBook::Shared().Forget(zoomCode, &why);
    if (!written) {
        Box(Text(message::kCalibrationNotSaved).arg(why), true);
    }
    RefreshScale();
}

void MeasureWindow::ForgetCalibration() {
    BoxRequest request;
    request.caption = windowTitle().remove(QStringLiteral("[*]"));
    request.text = Text(message::kForgetCalibrationQuestion);
    request.buttons = BoxButtons::OkCancel;
    if (!dialogs_.ShowBox(this, request)) {
        return;
    }
    if (pictureOnly_) {
        const PictureScale before = *pictureOnly_;
        auto apply = [this, before](bool forward) {
            pictureOnly_ = forward ? std::nullopt : std::optional<PictureScale>(before);
            RefreshScale();
        };
        undo_.push(new SwitchCommand(apply, false));
        return;
    }
    if (!picture_.zoomCode) {
        return;
    }
    const uint8_t zoomCode = *picture_.zoomCode;
    const std::optional<Calibration> before = CalibrationBook::Shared().Find(zoomCode);
    if (!before) {
        return;
    }
    QString why;
    if (!CalibrationBook::Shared().Forget(zoomCode, &why)) {
        Box(Text(message::kCalibrationNotSaved).arg(why), true);
        return;
    }
    auto apply = [this, zoomCode, before](bool forward) {
        SetCalibration(zoomCode, forward ? std::nullopt : before);
    };
    undo_.push(new SwitchCommand(apply, true));
    RefreshScale();
}

void MeasureWindow::DeleteSelected() {
    const int selected = canvas_->Selected();
    if (selected < 0 || selected >= list_.Size()) {
        return;
    }
    canvas_->SetSelected(-1);
    undo_.push(new RemoveMeasurementCommand(list_, selected));
}

void MeasureWindow::ClearAll() {
    if (list_.Size() > 0) {
        canvas_->SetSelected(-1);
        undo_.push(new ClearMeasurementsCommand(list_));
    }
}

void MeasureWindow::Cancel() {
    if (!canvas_->CancelPlacing()) {
        selectTool_->setChecked(true);
        canvas_->SetTool(std::nullopt);
    }
}

void MeasureWindow::Copy() {
    const TextOf text = [this](int number) { return Text(number); };
    QApplication::clipboard()->setText(
        RowsAsTabText(ResultHeader(text), ResultRows(list_.All(), scale_, Units(), text)));
}

measure::MeasurementSheet MeasureWindow::Sheet(const QString& pictureFile) const {
    measure::MeasurementSheet sheet;
    sheet.pictureFile = pictureFile;
    sheet.width = picture_.image.width();
    sheet.height = picture_.image.height();
    sheet.zoomCode = picture_.zoomCode;
    sheet.scale = scale_;
    sheet.measurements = list_.All();
    return sheet;
}

std::optional<QString> MeasureWindow::AskSavePath(const QStringList& filters,
                                                  const QStringList& suffixes,
                                                  const QString& name) {
    FileRequest request;
    request.mode = FileDialogMode::Save;
    request.filters = filters;
    request.defaultSuffix = suffixes.front();
    request.fileName = name;
    request.folder = StartFolder();
    const std::optional<FileAnswer> answer = dialogs_.ShowFileDialog(this, request);
    if (!answer) {
        return std::nullopt;
    }
    QString path = answer->path;
    const int chosen = std::clamp(answer->filterIndex, 1, static_cast<int>(suffixes.size())) - 1;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += u'.' + suffixes[chosen];
    }
    if (preferences_ != nullptr) {
        preferences_->RememberSavedFile(path);
    }
    return path;
}

void MeasureWindow::SavePicture() {
    Save(false);
}

void MeasureWindow::SaveMarkedPicture() {
    Save(true);
}

QImage MeasureWindow::Burned() const {
    QImage burned = picture_.image.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&burned);
    measure::PaintStyle style;
    style.showPointHandles = false;
    measure::PaintMeasurements(painter, list_.All(), style);
    if (const auto bar = measure::ChooseScaleBar(scale_, burned.width())) {
        const QAction* corner = corners_->checkedAction();
        measure::DrawScaleBar(painter, QRectF(burned.rect()), *bar,
                              corner ? static_cast<measure::Corner>(corner->data().toInt())
                                     : measure::Corner::kBottomRight);
    }
    return burned;
}

void MeasureWindow::Save(bool burnIn) {
    if (picture_.image.isNull()) {
        return;
    }
    QStringList filters;
    QStringList suffixes;
    for (const SaveFormat& format : kSaveFormats) {
        filters << QStringLiteral("%1 (%2)").arg(Text(format.filter),
                                                 QString::fromLatin1(format.pattern));
        suffixes << QString::fromLatin1(format.suffix);
    }
    const std::optional<QString> path = AskSavePath(filters, suffixes, ProposedName(suffixes[0]));
    if (!path) {
        return;
    }
    PictureFacts facts;
    facts.zoomCode = picture_.zoomCode;
    if (scale_.Known()) {
        facts.ownScale = scale_;  // used only without a zoom code
    }
    facts.taken = picture_.taken.isValid() ? picture_.taken : QDateTime::currentDateTime();
    QString why;
    if (!SavePictureFile(burnIn ? Burned() : picture_.image, *path, kDefaultJpegQuality, facts,
                         &why)) {
        Box(Text(message::kFileNotWritten).arg(QDir::toNativeSeparators(*path), why), true);
        return;
    }
    const QString sheetPath = measure::SheetPathFor(*path);
    if (!measure::WriteSheetBeside(*path, Sheet(QFileInfo(*path).fileName()), &why)) {
        Box(Text(message::kFileNotWritten).arg(QDir::toNativeSeparators(sheetPath), why), true);
        return;
    }
    undo_.setClean();
    statusBar()->showMessage(Text(message::kSavedFile).arg(QDir::toNativeSeparators(*path)),
                             kStatusTimeout);
}

void MeasureWindow::ExportCsv() {
    const QString csvSuffix = QStringLiteral("csv");
    const std::optional<QString> path =
        AskSavePath({QStringLiteral("%1 (*.csv)").arg(Text(message::kCsvFilter))}, {csvSuffix},
                    ProposedName(csvSuffix));
    if (!path) {
        return;
    }
    const QString pictureFile =
        picture_.path.isEmpty() ? picture_.name : QFileInfo(picture_.path).fileName();
    QString why;
    if (!WriteFileWhole(*path, measure::ResultsCsv(Sheet(pictureFile), Units()).toUtf8(), &why)) {
        Box(Text(message::kFileNotWritten).arg(QDir::toNativeSeparators(*path), why), true);
        return;
    }
    statusBar()->showMessage(Text(message::kSavedFile).arg(QDir::toNativeSeparators(*path)),
                             kStatusTimeout);
}

void MeasureWindow::Open() {
    FileRequest request;
    request.mode = FileDialogMode::Open;
    request.filters = {
        QStringLiteral("%1 (*.jpg *.jpeg *.png *.bmp)").arg(Text(message::kPictureFilter))};
    request.folder = StartFolder();
    const std::optional<FileAnswer> answer = dialogs_.ShowFileDialog(this, request);
    if (answer) {
        OpenFile(answer->path);
    }
}

void MeasureWindow::ZoomIn() {
    canvas_->ZoomStep(1);
}

void MeasureWindow::ZoomOut() {
    canvas_->ZoomStep(-1);
}

void MeasureWindow::ActualSize() {
    canvas_->ZoomTo(1.0);
}

void MeasureWindow::Fit() {
    canvas_->FitToWindow();
}

bool MeasureWindow::FollowsLive() const {
    return liveAvailable_ && liveAction_->isChecked();
}

void MeasureWindow::SetLiveAvailable(bool streaming) {
    liveAvailable_ = streaming;
    liveAction_->setEnabled(streaming);
    if (!streaming) {
        liveAction_->setChecked(false);
    }
}

void MeasureWindow::LiveToggled(bool on) {
    canvas_->SetSpaceFreezes(on);
    if (on) {
        statusBar()->showMessage(Text(message::kFreezeHint));
    } else {
        statusBar()->clearMessage();
    }
}

void MeasureWindow::LiveFrame(const QImage& frame, uint8_t zoomCode) {
    if (!FollowsLive() || frame.isNull()) {
        return;
    }
    const bool newPicture = picture_.image.size() != frame.size() || !picture_.path.isEmpty();
    picture_.image = frame;
    picture_.zoomCode = zoomCode;
    picture_.taken = QDateTime::currentDateTime();
    picture_.path.clear();
    picture_.name = Text(message::kLiveItem);
    pictureOnly_.reset();
    canvas_->SetPicture(frame, !newPicture);
    const PictureScale before = scale_;
    if (newPicture || ScaleOf(zoomCode, frame.width()) != before) {
        RefreshScale();
        RefreshTitle();
    }
}

void MeasureWindow::Freeze() {
    liveAction_->setChecked(false);
}

void MeasureWindow::closeEvent(QCloseEvent* event) {
    if (!ConfirmDrop()) {
        event->ignore();
        return;
    }
    canvas_->CancelPlacing();
    event->accept();
}

}  // namespace dm
