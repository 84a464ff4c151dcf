// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/measure_canvas.h"

#include <algorithm>
#include <cmath>

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include "measure/geometry.h"
#include "measure/measurement_painter.h"
#include "measure_window/hit_test.h"

namespace dm {

namespace {

using measure::Measurement;
using measure::Tool;

constexpr double kZoomStepFactor = 1.25;
constexpr double kWheelStep = 120.0;  // angle delta of one wheel notch
constexpr double kLeastZoom = 0.05;
constexpr double kMostZoom = 40.0;
constexpr double kGrabRadius = 8.0;     // screen pixels around a point or a line
constexpr double kDragThreshold = 4.0;  // screen pixels a press moves before it is a drag
constexpr double kNudge = 1.0;          // picture pixels per arrow key press
constexpr double kFineNudge = 0.1;      // with Shift
constexpr int kLoupeSize = 140;         // screen pixels, square
constexpr int kLoupeMargin = 10;
constexpr double kLoupeMagnification = 4.0;  // times the view's zoom
constexpr double kLoupeLeastScale = 6.0;     // screen pixels per picture pixel, at least
constexpr double kLoupeMostScale = 48.0;
const QColor kBackground(48, 48, 48);
const QColor kLoupeFrame(240, 240, 240);
const QColor kLoupeCross(255, 40, 40);

}  // namespace

MeasureCanvas::MeasureCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MeasureCanvas"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MeasureCanvas::SetPicture(const QImage& picture, bool keepView) {
    const bool sameSize = picture.size() == picture_.size();
    picture_ = picture;
    if (!keepView || !sameSize) {
        placed_.clear();
        FitToWindow();
    }
    update();
}

void MeasureCanvas::SetMeasurements(const std::vector<Measurement>* measurements) {
    measurements_ = measurements;
    update();
}

void MeasureCanvas::SetTool(std::optional<Tool> tool) {
    tool_ = tool;
    placed_.clear();
    UpdateCursor();
    update();
}

void MeasureCanvas::SetSelected(int index) {
    if (index != selected_) {
        selected_ = index;
        selectedPoint_ = -1;
        update();
    }
}

void MeasureCanvas::SetScaleBar(const std::optional<measure::ScaleBar>& bar,
                                measure::Corner corner) {
    scaleBar_ = bar;
    corner_ = corner;
    update();
}

bool MeasureCanvas::CancelPlacing() {
    const bool had = !placed_.empty();
    placed_.clear();
    update();
    return had;
}

void MeasureCanvas::FitToWindow() {
    fitted_ = true;
    if (picture_.isNull() || width() <= 0 || height() <= 0) {
        return;
    }
    zoom_ = std::min(static_cast<double>(width()) / picture_.width(),
                     static_cast<double>(height()) / picture_.height());
    offset_ = QPointF((width() - picture_.width() * zoom_) / 2.0,
                      (height() - picture_.height() * zoom_) / 2.0);
    emit ZoomChanged(zoom_);
    update();
}

void MeasureCanvas::ZoomTo(double zoom, QPointF anchor) {
    zoom = std::clamp(zoom, kLeastZoom, kMostZoom);
    const QPointF underAnchor = ToPicture(anchor);
    zoom_ = zoom;
    offset_ = anchor - underAnchor * zoom_;
    fitted_ = false;
    emit ZoomChanged(zoom_);
    update();
}

void MeasureCanvas::ZoomTo(double zoom) {
    const QPointF pointer = mapFromGlobal(QCursor::pos());
    const QPointF anchor = rect().contains(pointer.toPoint()) ? pointer : QPointF(rect().center());
    ZoomTo(zoom, anchor);
}

void MeasureCanvas::ZoomStep(int steps) {
    ZoomTo(zoom_ * std::pow(kZoomStepFactor, steps));
}

QPointF MeasureCanvas::ToScreen(QPointF picture) const {
    return offset_ + picture * zoom_;
}

QPointF MeasureCanvas::ToPicture(QPointF screen) const {
    return (screen - offset_) / zoom_;
}

std::vector<Measurement> MeasureCanvas::ShownMeasurements() const {
    std::vector<Measurement> shown;
    if (measurements_ != nullptr) {
        shown = *measurements_;
    }
    if (dragMeasurement_ >= 0 && dragMeasurement_ < static_cast<int>(shown.size())) {
        shown[static_cast<std::size_t>(dragMeasurement_)]
            .points[static_cast<std::size_t>(dragPoint_)] = dragAt_;
    }
    return shown;
}

void MeasureCanvas::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (picture_.isNull()) {
        return;
    }
    painter.save();
    painter.translate(offset_);
    painter.scale(zoom_, zoom_);
    // Above 100 % every picture pixel stays a visible square.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 1.0);
    painter.drawImage(QPointF(0, 0), picture_);
    if (scaleBar_) {
        measure::DrawScaleBar(painter, QRectF(picture_.rect()), *scaleBar_, corner_);
    }
    measure::PaintStyle style;
    style.penScale = zoom_;
    style.selected = selected_;
    measure::PaintMeasurements(painter, ShownMeasurements(), style);
    if (tool_) {
        measure::PaintInProgress(painter, *tool_, placed_, pointer_, style);
    }
    painter.restore();
    if (tool_ && pointerInside_ && !panning_) {
        PaintLoupe(painter);
    }
}

// The neighbourhood of the pointer, magnified, with a cross on the exact point; in the
// corner away from the pointer.
void MeasureCanvas::PaintLoupe(QPainter& painter) const {
    const QPointF screen = ToScreen(pointer_);
    QRectF box(kLoupeMargin, kLoupeMargin, kLoupeSize, kLoupeSize);
    if (box.adjusted(-kLoupeMargin, -kLoupeMargin, kLoupeMargin, kLoupeMargin).contains(screen)) {
        box.moveRight(width() - kLoupeMargin);
    }
    const double scale = std::clamp(zoom_ * kLoupeMagnification, kLoupeLeastScale, kLoupeMostScale);
    painter.save();
    painter.setClipRect(box);
    painter.fillRect(box, kBackground);
    painter.translate(box.center());
    painter.scale(scale, scale);
    painter.translate(-pointer_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPointF(0, 0), picture_);
    painter.restore();

    painter.save();
    painter.setPen(QPen(kLoupeCross, 1.0));
    const QPointF c = box.center();
    painter.drawLine(QPointF(box.left(), c.y()), QPointF(box.right(), c.y()));
    painter.drawLine(QPointF(c.x(), box.top()), QPointF(c.x(), box.bottom()));
    painter.setPen(QPen(kLoupeFrame, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.restore();
}

void MeasureCanvas::resizeEvent(QResizeEvent* /*event*/) {
    if (fitted_) {
        FitToWindow();
    }
}

void MeasureCanvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / kWheelStep;
    if (steps != 0.0 && !picture_.isNull()) {
        ZoomTo(zoom_ * std::pow(kZoomStepFactor, steps), event->position());
    }
    event->accept();
}

int MeasureCanvas::PointsToFinish() const {
    if (!tool_ || *tool_ == Tool::kPolyline || *tool_ == Tool::kPolygon) {
        return 0;  // a double-click ends them
    }
    return measure::MinimumPoints(*tool_);
}

// Line, calibration line and rectangle are also placed by a drag: press at one end,
// release at the other.
bool MeasureCanvas::DragPlaces() const {
    return tool_ &&
           (*tool_ == Tool::kLine || *tool_ == Tool::kCalibrate || *tool_ == Tool::kRectangle);
}

QPointF MeasureCanvas::PlacedPoint(QPointF screen, Qt::KeyboardModifiers modifiers) const {
    const QPointF point = ToPicture(screen);
    const bool snaps = tool_ && (*tool_ == Tool::kLine || *tool_ == Tool::kCalibrate);
    if (snaps && placed_.size() == 1 && (modifiers & Qt::ShiftModifier)) {
        return measure::SnapTo45Degrees(placed_.front(), point);
    }
    return point;
}

void MeasureCanvas::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPointF screen = event->position();
    if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && spaceHeld_)) {
        panning_ = true;
        panFrom_ = screen;
        UpdateCursor();
        return;
    }
    if (event->button() != Qt::LeftButton || picture_.isNull()) {
        return;
    }
    if (tool_) {
        PressForTool(screen, event->modifiers());
    } else {
        PressForSelect(screen);
    }
}

void MeasureCanvas::PressForTool(QPointF screen, Qt::KeyboardModifiers modifiers) {
    pointer_ = PlacedPoint(screen, modifiers);
    pressScreen_ = screen;
    placed_.push_back(pointer_);
    pressPlaced_ = placed_.size() == 1;
    if (*tool_ == Tool::kCount ||
        (PointsToFinish() > 0 && static_cast<int>(placed_.size()) >= PointsToFinish())) {
        Finish();
    }
    update();
}

void MeasureCanvas::PressForSelect(QPointF screen) {
    if (measurements_ == nullptr) {
        return;
    }
    const ScreenMapping toScreen = [this](QPointF p) { return ToScreen(p); };
    if (const auto point = HitPoint(*measurements_, toScreen, screen, kGrabRadius, selected_)) {
        dragMeasurement_ = point->measurement;
        dragPoint_ = point->point;
        dragAt_ = (*measurements_)[static_cast<std::size_t>(dragMeasurement_)]
                      .points[static_cast<std::size_t>(dragPoint_)];
        pressScreen_ = screen;
        SetSelected(point->measurement);
        selectedPoint_ = point->point;
        emit SelectionChanged(selected_);
        return;
    }
    const std::optional<int> hit = HitMeasurement(*measurements_, toScreen, screen, kGrabRadius);
    SetSelected(hit.value_or(-1));
    emit SelectionChanged(selected_);
}

void MeasureCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF screen = event->position();
    pointerInside_ = true;
    if (panning_) {
        offset_ += screen - panFrom_;
        panFrom_ = screen;
        fitted_ = false;
        update();
        return;
    }
    if (dragMeasurement_ >= 0) {
        dragAt_ = ToPicture(screen);
    }
    pointer_ = PlacedPoint(screen, event->modifiers());
    update();
}

void MeasureCanvas::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF screen = event->position();
    if (panning_ && (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton)) {
        panning_ = false;
        UpdateCursor();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (dragMeasurement_ >= 0) {
        const int index = dragMeasurement_;
        dragMeasurement_ = -1;
        const Measurement before = (*measurements_)[static_cast<std::size_t>(index)];
        Measurement after = before;
        after.points[static_cast<std::size_t>(dragPoint_)] = ToPicture(screen);
        if (measure::Distance(screen, pressScreen_) >= kDragThreshold && after != before) {
            emit Changed(index, before, after, false);
        }
        update();
        return;
    }
    const bool dragged = measure::Distance(screen, pressScreen_) >= kDragThreshold;
    if (DragPlaces() && pressPlaced_ && placed_.size() == 1 && dragged) {
        placed_.push_back(PlacedPoint(screen, event->modifiers()));
        Finish();
    }
    pressPlaced_ = false;
}

void MeasureCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !tool_) {
        return;
    }
    const bool open = *tool_ == Tool::kPolyline || *tool_ == Tool::kPolygon;
    if (!open) {
        // The second press of a quick pair of clicks: a point like any other.
        mousePressEvent(event);
        return;
    }
    // The double-click's first press placed the last point already.
    if (static_cast<int>(placed_.size()) >= measure::MinimumPoints(*tool_)) {
        Finish();
    }
}

void MeasureCanvas::Finish() {
    Measurement measurement;
    measurement.tool = *tool_;
    measurement.points = placed_;
    measurement.group = *tool_ == Tool::kCount ? countGroup_ : 0;
    placed_.clear();
    pressPlaced_ = false;
    update();
    emit Placed(measurement);
}

void MeasureCanvas::Nudge(QPointF by) {
    if (measurements_ == nullptr || selected_ < 0 ||
        selected_ >= static_cast<int>(measurements_->size())) {
        return;
    }
    const Measurement before = (*measurements_)[static_cast<std::size_t>(selected_)];
    if (selectedPoint_ < 0 || selectedPoint_ >= static_cast<int>(before.points.size())) {
        selectedPoint_ = static_cast<int>(before.points.size()) - 1;
    }
    Measurement after = before;
    after.points[static_cast<std::size_t>(selectedPoint_)] += by;
    emit Changed(selected_, before, after, true);
}

void MeasureCanvas::keyPressEvent(QKeyEvent* event) {
    const double step = (event->modifiers() & Qt::ShiftModifier) ? kFineNudge : kNudge;
    switch (event->key()) {
        case Qt::Key_Left:
            Nudge(QPointF(-step, 0));
            return;
        case Qt::Key_Right:
            Nudge(QPointF(step, 0));
            return;
        case Qt::Key_Up:
            Nudge(QPointF(0, -step));
            return;
        case Qt::Key_Down:
            Nudge(QPointF(0, step));
            return;
        case Qt::Key_Space:
            if (!event->isAutoRepeat()) {
                if (spaceFreezes_) {
                    emit FreezeRequested();
                } else {
                    spaceHeld_ = true;
                    UpdateCursor();
                }
            }
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void MeasureCanvas::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceHeld_ = false;
        UpdateCursor();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void MeasureCanvas::leaveEvent(QEvent* /*event*/) {
    pointerInside_ = false;
    update();
}

void MeasureCanvas::UpdateCursor() {
    if (panning_) {
        setCursor(Qt::ClosedHandCursor);
    } else if (spaceHeld_) {
        setCursor(Qt::OpenHandCursor);
    } else if (tool_) {
        setCursor(Qt::CrossCursor);
    } else {
        setCursor(Qt::ArrowCursor);
    }
}

}  // namespace dm
