// SPDX-License-Identifier: GPL-3.0-or-later
// TForm1: the way into the measuring window. The window is made on first use and kept
// (hidden when closed), so its tool, units and scale-bar choices last for the run.

#include <QEvent>

#include "app/main_window.h"
#include "app/picture_box.h"
#include "app/user_preferences.h"
#include "base/message_numbers.h"
#include "measure_window/measure_window.h"

namespace dm {

MeasureWindow& TForm1::OpenMeasuring() {
    if (!measureWindow_) {
        measureWindow_ = new MeasureWindow(
            catalogue_, dialogs_, [this] { return CurrentLanguage(); }, preferences_.get(), this);
        measureWindow_->setWindowFlag(Qt::Window);
    }
    measureWindow_->show();
    measureWindow_->raise();
    measureWindow_->activateWindow();
    return *measureWindow_;
}

MeasureWindow* TForm1::Measuring() const {
    return measureWindow_;
}

void TForm1::MeasureClick() {
    if (leaving_) {
        return;
    }
    const auto picture = handlers_->PictureOnScreen();
    MeasureWindow& window = OpenMeasuring();
    if (picture) {
        window.ShowPicture(*picture);
    }
}

void TForm1::MeasureRowClick() {
    if (leaving_) {
        return;
    }
    const auto picture = handlers_->PictureOfRow(SelectedRow());
    if (!picture) {
        ShowInfo(Message(message::kPictureNotReceived));
        return;
    }
    OpenMeasuring().ShowPicture(*picture);
}

void TForm1::MeasureFile(const QString& path) {
    OpenMeasuring().OpenFile(path);
}

bool TForm1::MeasurementsMayGo() {
    // Closing the measuring window asks about its unsaved measurements itself.
    return !measureWindow_ || !measureWindow_->isVisible() || measureWindow_->close();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == image3_ || watched == image4_)) {
        MeasureClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace dm
