// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window as the worker threads see it. Workers never touch a widget: every call
// here is carried out on the window thread, in the order made. Calls that return an
// answer (message boxes, file dialogs, list queries) block the caller until the
// answer is known; the others may return before the window has acted on them.
// When the window is gone, blocking calls return at once with a negative answer
// (Cancel, no file) so that a worker can always run to its end.
//
// The main window implements it; tests implement it with a recorder that scripts answers.

#include <cstdint>
#include <optional>

#include <QImage>
#include <QRect>
#include <QString>

namespace dm {

// The three enable patterns of the device buttons and the list's pop-up menu.
enum class ButtonSet { Busy, Disconnected, Ready };

// Single controls that commands enable or disable outside the button sets.
enum class Control { ConnectBtn, CameraBtn, SnapShotBtn, ListView1, SaveBtn, SaveAllBtn };

// Answer of the upload's open dialog: the path and which filter was selected
// (1 JPEG, 2 bitmap), counted from 1 as the dialog's filter list is.
struct OpenPictureChoice {
    QString path;
    int filterIndex = 1;
};

struct PictureRow {
    QString name;  // "%08d.jpg" of the picture number
    QString size;  // "%08d" of the picture size
    QString zoom;  // "%d" of the magnification
};

class WindowPort {
  public:
    virtual ~WindowPort() = default;

    // Message boxes, application-modal and on top, captioned "Digital Microscope".
    virtual void ShowInfo(const QString& text) = 0;
    virtual void ShowError(const QString& text) = 0;
    virtual bool AskOkCancel(const QString& text) = 0;
    // Captioned "Warning", OK and Cancel, no icon: the snapshot's save question.
    virtual bool AskWarning(const QString& text) = 0;

    // Catalogue message 1..30 of the current language; an absent text is empty.
    // Callable from any thread without blocking (the catalogue is read-only).
    virtual QString Message(int number) const = 0;

    // File dialogs. An empty optional is Cancel.
    virtual std::optional<OpenPictureChoice> ChooseUploadPicture() = 0;  // OpenPictureDialog1
    virtual std::optional<QString> ChooseSnapshotFile(
        const QString& name) = 0;                                            // SavePictureDialog1
    virtual std::optional<QString> ChooseJpegFile(const QString& name) = 0;  // SaveDialog1
    // Where a snapshot of this default name goes when the user chose to save snapshots
    // without asking; none: the save question and the dialog come as usual.
    virtual std::optional<QString> UnaskedSnapshotFile(const QString& /*name*/) {
        return std::nullopt;
    }
    // Says what was just done ("Saved /home/ann/Pictures/P20261208_1.jpg") without a box
    // to click away; a window without a status line ignores it.
    virtual void ShowStatus(const QString& /*text*/) {}

    // Controls.
    virtual void SetProgress(int percent) = 0;  // ProgressBar1
    virtual void ApplyButtonSet(ButtonSet set) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    // Sets the connected flag and refreshes ConnectBtn's glyph and hint.
    virtual void SetConnected(bool connected) = 0;
    // Loads CameraBtn's glyph from the start-up folder ("Camera-On.bmp", "Camera-Off.bmp").
    virtual void SetCameraGlyph(const QString& fileName) = 0;

    // The picture list view, ListView1.
    virtual void ClearRows() = 0;
    virtual void AddRow(const PictureRow& row) = 0;
    virtual void RemoveRow(int row) = 0;
    // The row's picture did not arrive: the row is greyed and its Size column shows
    // catalogue message 42 ("not received").
    virtual void MarkRowNotReceived(int row) = 0;
    virtual int SelectedRow() = 0;  // -1 when none
    virtual int RowCount() = 0;

    // The picture area.
    virtual void ShowPreview(const QImage& picture) = 0;  // stretched over Image3
    virtual void RestoreLiveViewGeometry() = 0;           // Image3 back to 320 x 240 at 0,0
    virtual void SetBrowseViewVisible(bool visible) = 0;  // Image4, above the live view
    // Overlays of a live frame rendered while the camera-on flag is clear go onto
    // Image4's picture.
    virtual void DrawOverlaysOnBrowseView(uint8_t zoomCode, bool drawMagnification,
                                          bool drawRuler) = 0;
    // Image3 shows the picture stretched over the geometry (relative to Panel1; left and
    // top may be negative), as the digital zoom conversion leaves it.
    virtual void ShowEnlargedLiveView(const QImage& picture, const QRect& geometry) = 0;
    // Image4's picture becomes this picture (a browsed scratch picture with its overlays).
    virtual void ShowBrowsePicture(const QImage& picture) = 0;

    // CheckBox1 ("Show Ruler") and CheckBox2 ("Show Magnification"); any thread.
    virtual bool ShowRulerChecked() const = 0;
    virtual bool ShowMagnificationChecked() const = 0;
};

}  // namespace dm
