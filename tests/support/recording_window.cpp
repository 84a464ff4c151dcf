// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/recording_window.h"

namespace dm::test {

namespace {
const char* SetName(ButtonSet set) {
    switch (set) {
        case ButtonSet::Busy:
            return "Busy";
        case ButtonSet::Disconnected:
            return "Disconnected";
        case ButtonSet::Ready:
            return "Ready";
    }
    return "?";
}
const char* ControlName(Control control) {
    switch (control) {
        case Control::ConnectBtn:
            return "ConnectBtn";
        case Control::CameraBtn:
            return "CameraBtn";
        case Control::SnapShotBtn:
            return "SnapShotBtn";
        case Control::ListView1:
            return "ListView1";
        case Control::SaveBtn:
            return "SaveBtn";
        case Control::SaveAllBtn:
            return "SaveAllBtn";
    }
    return "?";
}
}  // namespace

void RecordingWindow::Record(std::string line) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(line));
    changed_.notify_all();
}

void RecordingWindow::WaitWhileHeld(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !hold_; });
}

void RecordingWindow::QueueAnswer(bool ok) {
    std::lock_guard lock(mutex_);
    answers_.push_back(ok);
}
void RecordingWindow::QueueUploadChoice(std::optional<OpenPictureChoice> choice) {
    std::lock_guard lock(mutex_);
    uploadChoices_.push_back(choice ? *choice : OpenPictureChoice{});
}
void RecordingWindow::QueueSaveFile(std::optional<QString> path) {
    std::lock_guard lock(mutex_);
    saveFiles_.push_back(path ? *path : QString());
}
void RecordingWindow::SetMessage(int number, const QString& text) {
    std::lock_guard lock(mutex_);
    if (number >= 0 && number < static_cast<int>(messages_.size())) {
        messages_[number] = text;
    }
}
void RecordingWindow::HoldBoxes(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
    changed_.notify_all();
}
void RecordingWindow::ReleaseBoxes() {
    HoldBoxes(false);
}

std::vector<std::string> RecordingWindow::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}
std::vector<int> RecordingWindow::ProgressValues() const {
    std::lock_guard lock(mutex_);
    return progress_;
}
bool RecordingWindow::WaitForCall(const std::string& prefix,
                                  std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        for (const auto& call : calls_) {
            if (call.rfind(prefix, 0) == 0) {
                return true;
            }
        }
        return false;
    });
}
void RecordingWindow::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    progress_.clear();
}
std::vector<PictureRow> RecordingWindow::Rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
}
void RecordingWindow::SetSelectedRow(int row) {
    std::lock_guard lock(mutex_);
    selected_ = row;
}
void RecordingWindow::SetChecks(bool ruler, bool magnification) {
    std::lock_guard lock(mutex_);
    ruler_ = ruler;
    magnification_ = magnification;
}
bool RecordingWindow::Connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}
QImage RecordingWindow::LastPreview() const {
    std::lock_guard lock(mutex_);
    return preview_;
}

void RecordingWindow::ShowStatus(const QString& text) {
    Record("ShowStatus " + text.toStdString());
}

void RecordingWindow::ShowInfo(const QString& text) {
    Record("ShowInfo " + text.toStdString());
    std::unique_lock lock(mutex_);
    WaitWhileHeld(lock);
}
void RecordingWindow::ShowError(const QString& text) {
    Record("ShowError " + text.toStdString());
    std::unique_lock lock(mutex_);
    WaitWhileHeld(lock);
}
bool RecordingWindow::AskOkCancel(const QString& text) {
    Record("AskOkCancel " + text.toStdString());
    std::unique_lock lock(mutex_);
    WaitWhileHeld(lock);
    if (answers_.empty()) {
        return true;
    }
    const bool ok = answers_.front();
    answers_.pop_front();
    return ok;
}
bool RecordingWindow::AskWarning(const QString& text) {
    Record("AskWarning " + text.toStdString());
    std::unique_lock lock(mutex_);
    WaitWhileHeld(lock);
    if (answers_.empty()) {
        return true;
    }
    const bool ok = answers_.front();
    answers_.pop_front();
    return ok;
}
QString RecordingWindow::Message(int number) const {
    std::lock_guard lock(mutex_);
    if (number < 0 || number >= static_cast<int>(messages_.size())) {
        return {};
    }
    // The program's added messages fall back to English, as the real catalogue does.
    if (messages_[number].isEmpty() && number >= message::kFirstAdded) {
        return QString::fromUtf8(message::BuiltInEnglishText(number));
    }
    return messages_[number];
}
std::optional<OpenPictureChoice> RecordingWindow::ChooseUploadPicture() {
    Record("ChooseUploadPicture");
    std::lock_guard lock(mutex_);
    if (uploadChoices_.empty()) {
        return std::nullopt;
    }
    const OpenPictureChoice choice = uploadChoices_.front();
    uploadChoices_.pop_front();
    if (choice.path.isEmpty()) {
        return std::nullopt;
    }
    return choice;
}
std::optional<QString> RecordingWindow::ChooseSnapshotFile(const QString& name) {
    Record("ChooseSnapshotFile " + name.toStdString());
    std::lock_guard lock(mutex_);
    if (saveFiles_.empty()) {
        return std::nullopt;
    }
    const QString path = saveFiles_.front();
    saveFiles_.pop_front();
    if (path.isNull()) {
        return std::nullopt;
    }
    return path;
}
std::optional<QString> RecordingWindow::ChooseJpegFile(const QString& name) {
    Record("ChooseJpegFile " + name.toStdString());
    std::lock_guard lock(mutex_);
    if (saveFiles_.empty()) {
        return std::nullopt;
    }
    const QString path = saveFiles_.front();
    saveFiles_.pop_front();
    if (path.isNull()) {
        return std::nullopt;
    }
    return path;
}
void RecordingWindow::SetProgress(int percent) {
    {
        std::lock_guard lock(mutex_);
        progress_.push_back(percent);
    }
    Record("SetProgress " + std::to_string(percent));
}
void RecordingWindow::ApplyButtonSet(ButtonSet set) {
    Record(std::string("ApplyButtonSet ") + SetName(set));
}
void RecordingWindow::SetEnabled(Control control, bool enabled) {
    Record(std::string("SetEnabled ") + ControlName(control) + (enabled ? " on" : " off"));
}
void RecordingWindow::SetConnected(bool connected) {
    {
        std::lock_guard lock(mutex_);
        connected_ = connected;
    }
    Record(std::string("SetConnected ") + (connected ? "yes" : "no"));
}
void RecordingWindow::SetCameraGlyph(const QString& fileName) {
    Record("SetCameraGlyph " + fileName.toStdString());
}
void RecordingWindow::ClearRows() {
    {
        std::lock_guard lock(mutex_);
        rows_.clear();
        selected_ = -1;
    }
    Record("ClearRows");
}
void RecordingWindow::AddRow(const PictureRow& row) {
    {
        std::lock_guard lock(mutex_);
        rows_.push_back(row);
    }
    Record("AddRow " + row.name.toStdString() + " " + row.size.toStdString() + " " +
           row.zoom.toStdString());
}
void RecordingWindow::RemoveRow(int row) {
    {
        std::lock_guard lock(mutex_);
        if (row >= 0 && row < static_cast<int>(rows_.size())) {
            rows_.erase(rows_.begin() + row);
        }
        selected_ = -1;
    }
    Record("RemoveRow " + std::to_string(row));
}
void RecordingWindow::MarkRowNotReceived(int row) {
    {
        std::lock_guard lock(mutex_);
        notReceived_.push_back(row);
    }
    Record("MarkRowNotReceived " + std::to_string(row));
}
std::vector<int> RecordingWindow::NotReceivedRows() const {
    std::lock_guard lock(mutex_);
    return notReceived_;
}
int RecordingWindow::SelectedRow() {
    std::lock_guard lock(mutex_);
    return selected_;
}
int RecordingWindow::RowCount() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}
void RecordingWindow::ShowPreview(const QImage& picture) {
    {
        std::lock_guard lock(mutex_);
        preview_ = picture;
    }
    Record("ShowPreview " + std::to_string(picture.width()) + "x" +
           std::to_string(picture.height()));
}
void RecordingWindow::RestoreLiveViewGeometry() {
    Record("RestoreLiveViewGeometry");
}
void RecordingWindow::SetBrowseViewVisible(bool visible) {
    Record(std::string("SetBrowseViewVisible ") + (visible ? "yes" : "no"));
}
void RecordingWindow::DrawOverlaysOnBrowseView(uint8_t zoomCode, bool drawMagnification,
                                               bool drawRuler) {
    Record("DrawOverlaysOnBrowseView " + std::to_string(zoomCode) + " " +
           (drawMagnification ? "mag" : "-") + " " + (drawRuler ? "ruler" : "-"));
}
void RecordingWindow::ShowEnlargedLiveView(const QImage& picture, const QRect& geometry) {
    {
        std::lock_guard lock(mutex_);
        enlargedLiveView_ = picture;
        enlargedGeometry_ = geometry;
    }
    Record("ShowEnlargedLiveView " + std::to_string(geometry.left()) + "," +
           std::to_string(geometry.top()) + " " + std::to_string(geometry.width()) + "x" +
           std::to_string(geometry.height()));
}
void RecordingWindow::ShowBrowsePicture(const QImage& picture) {
    {
        std::lock_guard lock(mutex_);
        browsePicture_ = picture;
    }
    Record("ShowBrowsePicture " + std::to_string(picture.width()) + "x" +
           std::to_string(picture.height()));
}
QImage RecordingWindow::LastEnlargedLiveView() const {
    std::lock_guard lock(mutex_);
    return enlargedLiveView_;
}
QRect RecordingWindow::LastEnlargedGeometry() const {
    std::lock_guard lock(mutex_);
    return enlargedGeometry_;
}
QImage RecordingWindow::LastBrowsePicture() const {
    std::lock_guard lock(mutex_);
    return browsePicture_;
}
bool RecordingWindow::ShowRulerChecked() const {
    std::lock_guard lock(mutex_);
    return ruler_;
}
bool RecordingWindow::ShowMagnificationChecked() const {
    std::lock_guard lock(mutex_);
    return magnification_;
}

}  // namespace dm::test
