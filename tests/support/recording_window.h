// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A WindowPort for tests: records every call in order and answers from a script.
// Thread-safe: workers call it from their threads while the test inspects it.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/message_numbers.h"
#include "inbound/window_port.h"

namespace dm::test {

class RecordingWindow : public WindowPort {
  public:
    // Scripted answers, taken in order; when a queue is empty the default is used
    // (OK for questions, Cancel for dialogs).
    void QueueAnswer(bool ok);
    void QueueUploadChoice(std::optional<OpenPictureChoice> choice);
    void QueueSaveFile(std::optional<QString> path);
    void SetMessage(int number, const QString& text);
    // Makes ShowError/ShowInfo block until ReleaseBoxes() (a user who leaves a box open).
    void HoldBoxes(bool hold);
    void ReleaseBoxes();

    // Everything called so far, one line each, e.g. "ShowError Memory full",
    // "SetProgress 20", "ApplyButtonSet Ready", "AddRow 00000012.jpg 00023456 40".
    std::vector<std::string> Calls() const;
    std::vector<int> ProgressValues() const;
    bool WaitForCall(const std::string& prefix, std::chrono::milliseconds timeout) const;
    void ClearCalls();
    int RowCount() override;
    std::vector<PictureRow> Rows() const;
    void SetSelectedRow(int row);
    void SetChecks(bool ruler, bool magnification);
    bool Connected() const;

    void ShowInfo(const QString& text) override;
    void ShowStatus(const QString& text) override;
    void ShowError(const QString& text) override;
    bool AskOkCancel(const QString& text) override;
    bool AskWarning(const QString& text) override;
    QString Message(int number) const override;
    std::optional<OpenPictureChoice> ChooseUploadPicture() override;
    std::optional<QString> ChooseSnapshotFile(const QString& name) override;
    std::optional<QString> ChooseJpegFile(const QString& name) override;
    void SetProgress(int percent) override;
    void ApplyButtonSet(ButtonSet set) override;
    void SetEnabled(Control control, bool enabled) override;
    void SetConnected(bool connected) override;
    void SetCameraGlyph(const QString& fileName) override;
    void ClearRows() override;
    void AddRow(const PictureRow& row) override;
    void RemoveRow(int row) override;
    void MarkRowNotReceived(int row) override;
    // Rows marked "not received", in the order marked.
    std::vector<int> NotReceivedRows() const;
    int SelectedRow() override;
    void ShowPreview(const QImage& picture) override;
    void RestoreLiveViewGeometry() override;
    void SetBrowseViewVisible(bool visible) override;
    void DrawOverlaysOnBrowseView(uint8_t zoomCode, bool drawMagnification,
                                  bool drawRuler) override;
    void ShowEnlargedLiveView(const QImage& picture, const QRect& geometry) override;
    void ShowBrowsePicture(const QImage& picture) override;
    bool ShowRulerChecked() const override;
    bool ShowMagnificationChecked() const override;

    QImage LastPreview() const;
    QImage LastEnlargedLiveView() const;
    QRect LastEnlargedGeometry() const;
    QImage LastBrowsePicture() const;

  private:
    void Record(std::string line);
    void WaitWhileHeld(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::vector<int> progress_;
    std::deque<bool> answers_;
    std::deque<OpenPictureChoice> uploadChoices_;  // an empty path is Cancel
    std::deque<QString> saveFiles_;                // a null text is Cancel
    std::vector<QString> messages_ = std::vector<QString>(message::kLastAdded + 1);
    std::vector<PictureRow> rows_;
    int selected_ = -1;
    std::vector<int> notReceived_;
    bool ruler_ = false;
    bool magnification_ = false;
    bool connected_ = false;
    bool hold_ = false;
    QImage preview_;
    QImage enlargedLiveView_;
    QRect enlargedGeometry_;
    QImage browsePicture_;
};

}  // namespace dm::test
