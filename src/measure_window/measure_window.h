// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measuring window: a picture shown large with the measuring tools, the results
// table beside it, the scale the values are read at, and saving the picture, its
// measurements and the table. Separate and non-modal: the main window and its live view
// go on while it is open. Window thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <QMainWindow>
#include <QUndoStack>

#include "measure/measurement.h"
#include "measure/picture_reader.h"
#include "measure/scale_bar.h"
#include "measure/units.h"
#include "measure_window/measurement_list.h"
#include "view/calibration_book.h"
#include "view/picture_scale.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QSpinBox;
class QTableWidget;

namespace dm {

class DialogProvider;
class MeasureCanvas;
class MessageCatalogue;
class UserPreferences;

class MeasureWindow : public QMainWindow {
    Q_OBJECT

  public:
    // catalogue/dialogs outlive the window; `language` tells the current language
    // (called on ApplyLanguage); `preferences` may be null (remembers folders).
    MeasureWindow(const MessageCatalogue& catalogue, DialogProvider& dialogs,
                  std::function<int()> language, UserPreferences* preferences,
                  QWidget* parent = nullptr);
    ~MeasureWindow() override;
    void ApplyLanguage();  // re-reads every text

    // Measures this picture: a frozen live frame, a browsed picture or a file. Asks
    // (through DialogProvider) before dropping measurements not yet saved.
    void ShowPicture(const measure::MeasuredPicture& picture);
    bool OpenFile(const QString& path);  // a clear box on failure; false then

    // "Live": while FollowsLive(), the main window hands over every live frame it shows;
    // measurements stay on top, read at each frame's zoom code's scale.
    bool FollowsLive() const;
    void LiveFrame(const QImage& frame, uint8_t zoomCode);
    void SetLiveAvailable(bool streaming);  // the camera is on: Live can be used

    // For tests: the canvas widget, the results table widget, what is measured.
    QWidget* Canvas() const;
    QTableWidget* Results() const { return results_; }
    const std::vector<measure::Measurement>& Measurements() const { return list_.All(); }
    const PictureScale& Scale() const { return scale_; }
    const measure::MeasuredPicture& Picture() const { return picture_; }
    QUndoStack& UndoStack() { return undo_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QString Text(int number) const;
    void BuildActions();
    void BuildMenus();
    void BuildToolBars();
    QAction* AddAction(int number, const QKeySequence& key, void (MeasureWindow::*slot)());
    QAction* AddToolAction(int number, std::optional<measure::Tool> tool, Qt::Key key);

    bool ConfirmDrop();
    void Load(const measure::MeasuredPicture& picture,
              const std::vector<measure::Measurement>& measurements);
    void RefreshScale();
    void RefreshResults();
    void RefreshTitle();
    void RefreshScaleBar();
    void Box(const QString& text, bool error);

    void OnPlaced(const measure::Measurement& measurement);
    void OnChanged(int index, const measure::Measurement& before, const measure::Measurement& after,
                   bool nudge);
    void OnCanvasSelection(int index);
    void OnTableSelection();
    void AddCountMark(const measure::Measurement& mark);
    void Calibrate(const std::vector<QPointF>& line);
    void SetCalibration(uint8_t zoomCode, const std::optional<Calibration>& calibration);

    void Open();
    void SavePicture();
    void SaveMarkedPicture();
    void Save(bool burnIn);
    void ExportCsv();
    void Copy();
    void DeleteSelected();
    void ClearAll();
    void Cancel();
    void ForgetCalibration();
    void ZoomIn();
    void ZoomOut();
    void ActualSize();
    void Fit();
    void LiveToggled(bool on);
    void Freeze();

    QImage Burned() const;
    measure::MeasurementSheet Sheet(const QString& pictureFile) const;
    measure::UnitChoice Units() const;
    QString ProposedName(const QString& suffix) const;
    QString StartFolder() const;
    std::optional<QString> AskSavePath(const QStringList& filters, const QStringList& suffixes,
                                       const QString& name);

    const MessageCatalogue& catalogue_;
    DialogProvider& dialogs_;
    std::function<int()> language_;
    UserPreferences* preferences_;

    MeasurementList list_;
    QUndoStack undo_;
    measure::MeasuredPicture picture_;
    std::optional<PictureScale> pictureOnly_;  // a calibration of a picture without zoom code
    PictureScale scale_;
    bool liveAvailable_ = false;
    bool syncingSelection_ = false;

    MeasureCanvas* canvas_;
    QTableWidget* results_;
    QLabel* scaleLabel_;
    QComboBox* unitBox_ = nullptr;
    QSpinBox* decimals_ = nullptr;
    QComboBox* groupBox_ = nullptr;
    QActionGroup* tools_ = nullptr;
    QAction* selectTool_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* forgetAction_ = nullptr;
    QAction* liveAction_ = nullptr;
    QAction* scaleBarAction_ = nullptr;
    QActionGroup* corners_ = nullptr;
    std::vector<std::pair<QAction*, int>> actionTexts_;
    std::vector<std::pair<QMenu*, int>> menuTexts_;
    std::vector<std::pair<QLabel*, int>> labelTexts_;
};

}  // namespace dm
