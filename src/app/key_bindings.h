// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The microscope's eight keys and the snapshot on the keyboard: arrows for Up, Left,
// Right and Down, + and - for Zoom in and Zoom out, L for Lock, Home (or Space on the
// picture) for the centre key, F5 for Snapshot. A key clicks its button, so it runs the
// button's handler and does nothing while the button is disabled; while a box or dialog
// is open the window is not active and no key reaches it.
//
// Ctrl+S saves and Delete deletes the selected picture, as their buttons do.
//
// A key's shortcut is switched on and off with its button, so that a disabled pad leaves
// the arrows to the picture list; while the list has the focus and rows it keeps the
// arrows to move between them.
//
// Threads: window thread. Built by the window after its buttons; lives as its child.

#include <QObject>
#include <QString>
#include <vector>

class QAbstractItemView;
class QShortcut;
class QToolButton;
class QWidget;

namespace dm {

class KeyBindings : public QObject {
  public:
    // window: where the keys are taken (the whole window); picture: where Space counts;
    // list: the picture list, which keeps the arrows while it has the focus.
    KeyBindings(QWidget& window, QWidget& picture, QAbstractItemView& list);

    // The key's name as the button's hint shows it ("" for a button without a key).
    static QString KeyName(const QString& buttonName);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Binding {
        QToolButton* button;
        QShortcut* shortcut;
    };
    void Bind(QWidget& scope, QToolButton* button, int key);

    std::vector<Binding> bindings_;
    QAbstractItemView* list_;
};

}  // namespace dm
