// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every modal window the program opens goes through this interface: message boxes, the
// file dialogs and the About dialog. The program uses QtDialogProvider; tests script the
// answers without opening anything. Window thread only.

#include <optional>

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace dm {

enum class BoxIcon { None, Information, Error };
enum class BoxButtons { Ok, OkCancel };

struct BoxRequest {
    QString caption;
    QString text;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    bool onTop = false;  // stays above other windows
};

enum class FileDialogMode { Open, Save, Folder };

struct FileRequest {
    FileDialogMode mode = FileDialogMode::Open;
    QStringList filters;    // Qt form, e.g. "JPEG Image File (*.jpg)"
    QString defaultSuffix;  // added when the user types a name without one
    QString fileName;       // proposed name
    QString folder;         // where the dialog opens; empty: the current directory
    QString caption;        // empty: the toolkit's own
};

struct FileAnswer {
    QString path;
    int filterIndex = 1;  // the filter selected at the end, counted from 1
};

class DialogProvider {
  public:
    virtual ~DialogProvider() = default;

    // Application-modal; returns true for OK.
    virtual bool ShowBox(QWidget* parent, const BoxRequest& request) = 0;
    // An empty optional is Cancel.
    virtual std::optional<FileAnswer> ShowFileDialog(QWidget* parent,
                                                     const FileRequest& request) = 0;
    // Runs a dialog modally until it closes; returns its result code.
    virtual int RunDialog(QDialog& dialog) = 0;
    // Closes whatever this provider has open (the window is going away): each open box or
    // dialog returns as cancelled.
    virtual void CloseAll() = 0;
};

}  // namespace dm
