// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window interface for the command line: no widgets, no questions. Boxes become
// messages the program reports as it sees fit, questions get the answers the command line
// decided beforehand (from its flags or a question on the terminal), file dialogs return
// the paths given as arguments, the picture list is kept as rows.
//
// Threads: the command and data threads call it; the main thread reads it between
// commands. Every member takes the one lock.

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "inbound/window_port.h"

namespace dm::cli {

class ConsoleWindow : public WindowPort {
  public:
    using ProgressListener = std::function<void(int percent)>;

    struct Box {
        QString text;
        bool error = false;
    };

    // The English text of a catalogue message (the command line speaks English).
    static QString EnglishMessage(int number);

    // Answers and choices for the command about to run.
    void SetUploadFile(const QString& path);
    // A file, a folder (the snapshot's own name in it) or empty (its name here).
    void SetSnapshotFile(const QString& path);
    void SelectRow(int row);
    // Called from the command thread with every progress change.
    void SetProgressListener(ProgressListener listener);

    // The boxes shown since the last call, oldest first.
    std::vector<Box> TakeBoxes();
    std::vector<PictureRow> Rows() const;

    void ShowInfo(const QString& text) override;
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

  private:
    mutable std::mutex lock_;
    std::vector<Box> boxes_;
    std::vector<PictureRow> rows_;
    int selectedRow_ = -1;
    QString uploadFile_;
    QString snapshotFile_;
    ProgressListener progress_;
};

}  // namespace dm::cli
