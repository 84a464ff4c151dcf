// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The picture of the measuring window, shown large: fitted to the widget or zoomed (wheel,
// +/-, about the pointer) and panned (middle button, or the left one with Space held),
// with the measurements drawn over it, a loupe following the pointer while a point is
// placed, and the optional scale bar.
//
// Points are placed and dragged here in picture pixels (floating point); the canvas never
// changes the measurements itself: it reports a finished measurement (Placed) or a moved
// one (Changed) and the window pushes the undo command. Window thread only.

#include <optional>
#include <vector>

#include <QImage>
#include <QPointF>
#include <QWidget>

#include "measure/measurement.h"
#include "measure/scale_bar.h"

namespace dm {

class MeasureCanvas : public QWidget {
    Q_OBJECT

  public:
    explicit MeasureCanvas(QWidget* parent = nullptr);

    // A new picture is fitted to the widget; with `keepView` (a live frame of the same
    // size), zoom and pan stay.
    void SetPicture(const QImage& picture, bool keepView);
    const QImage& Picture() const { return picture_; }
    // The measurements shown; the list outlives the canvas.
    void SetMeasurements(const std::vector<measure::Measurement>* measurements);
    // None: select and move measurements.
    void SetTool(std::optional<measure::Tool> tool);
    std::optional<measure::Tool> CurrentTool() const { return tool_; }
    void SetCountGroup(int group) { countGroup_ = group; }
    void SetSelected(int index);
    int Selected() const { return selected_; }
    void SetScaleBar(const std::optional<measure::ScaleBar>& bar, measure::Corner corner);
    // Space freezes the live picture instead of panning.
    void SetSpaceFreezes(bool freezes) { spaceFreezes_ = freezes; }

    // Drops the points placed so far; false when none were.
    bool CancelPlacing();
    bool Placing() const { return !placed_.empty(); }

    // Screen pixels per picture pixel.
    double Zoom() const { return zoom_; }
    bool Fitted() const { return fitted_; }
    void FitToWindow();
    // Zooms keeping the picture point under `anchor` (widget pixels) where it is.
    void ZoomTo(double zoom, QPointF anchor);
    void ZoomTo(double zoom);  // about the pointer when it is over the canvas, else the middle
    void ZoomStep(int steps);  // + in, - out

    QPointF ToScreen(QPointF picture) const;
    QPointF ToPicture(QPointF screen) const;

  signals:
    void Placed(const measure::Measurement& measurement);
    // A measurement's points were moved: by a drag, or by an arrow key (`nudge`).
    void Changed(int index, const measure::Measurement& before, const measure::Measurement& after,
                 bool nudge);
    void SelectionChanged(int index);
    void FreezeRequested();
    void ZoomChanged(double zoom);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void PressForTool(QPointF screen, Qt::KeyboardModifiers modifiers);
    void PressForSelect(QPointF screen);
    void Finish();
    QPointF PlacedPoint(QPointF screen, Qt::KeyboardModifiers modifiers) const;
    bool DragPlaces() const;
    int PointsToFinish() const;
    void Nudge(QPointF by);
    void PaintLoupe(QPainter& painter) const;
    std::vector<measure::Measurement> ShownMeasurements() const;
    void UpdateCursor();

    QImage picture_;
    const std::vector<measure::Measurement>* measurements_ = nullptr;
    std::optional<measure::Tool> tool_;
    int countGroup_ = 0;
    int selected_ = -1;
    int selectedPoint_ = -1;
    std::optional<measure::ScaleBar> scaleBar_;
    measure::Corner corner_ = measure::Corner::kBottomRight;
    bool spaceFreezes_ = false;

    double zoom_ = 1.0;
    QPointF offset_;  // where the picture's top left corner is, in widget pixels
    bool fitted_ = true;

    std::vector<QPointF> placed_;  // points of the measurement being placed
    QPointF pointer_;              // in picture pixels
    bool pointerInside_ = false;
    QPointF pressScreen_;
    bool pressPlaced_ = false;  // the last press placed a point a drag may end

    bool panning_ = false;
    bool spaceHeld_ = false;
    QPointF panFrom_;

    // A point being dragged: its measurement as it was, and where the point is now.
    int dragMeasurement_ = -1;
    int dragPoint_ = -1;
    QPointF dragAt_;
};

}  // namespace dm
