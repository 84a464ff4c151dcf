// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A WindowPort that never blocks and never shows anything: every question is answered
// at once with the negative answer (Cancel, no file), as the window does once it is gone.
// It only counts the error boxes asked for. Used by the fuzz target and its corpus test,
// and by the benchmarks, whose workers may call it from their own threads.

#include <atomic>

#include "inbound/window_port.h"

namespace dm::fuzz {

class QuietWindow : public WindowPort {
  public:
    // Whether the two overlay check boxes read as ticked (at first they do not).
    void SetOverlaysChecked(bool checked) { overlaysChecked_ = checked; }
    int ErrorsShown() const { return errorsShown_; }

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
    bool overlaysChecked_ = false;
    std::atomic<int> errorsShown_{0};
};

}  // namespace dm::fuzz
