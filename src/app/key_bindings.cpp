// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/key_bindings.h"

#include <algorithm>
#include <iterator>

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>

namespace dm {

namespace {

struct KeyOfButton {
    const char* button;
    int key;
    const char* name;  // as printed on keyboards
};

constexpr KeyOfButton kKeys[] = {
    {"UpBtn", Qt::Key_Up, "\u2191"},
    {"LeftBtn", Qt::Key_Left, "\u2190"},
    {"RightBtn", Qt::Key_Right, "\u2192"},
    {"DownBtn", Qt::Key_Down, "\u2193"},
    {"ZoomInBtn", Qt::Key_Plus, "+"},
    {"ZoomOutBtn", Qt::Key_Minus, "-"},
    {"LockBtn", Qt::Key_L, "L"},
    {"CentralBtn", Qt::Key_Home, "Home"},
    {"SnapShotBtn", Qt::Key_F5, "F5"},
    {"SaveBtn", (Qt::CTRL | Qt::Key_S).toCombined(), "Ctrl+S"},
    {"DelBtn", Qt::Key_Delete, "Delete"},
};
constexpr int kListKeys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right};
// The keypad's and the main block's "=" key carry + without Shift on many layouts.
constexpr int kZoomInAlternative = Qt::Key_Equal;

}  // namespace

KeyBindings::KeyBindings(QWidget& window, QWidget& picture, QAbstractItemView& list)
    : QObject(&window), list_(&list) {
    list.installEventFilter(this);
    for (const KeyOfButton& key : kKeys) {
        auto* button = window.findChild<QToolButton*>(QString::fromLatin1(key.button));
        if (button == nullptr) {
            continue;
        }
        Bind(window, button, key.key);
        if (key.key == Qt::Key_Plus) {
            Bind(window, button, kZoomInAlternative);
        }
        if (key.key == Qt::Key_Home) {
            // Space only on the picture: elsewhere it presses the focused control.
            picture.setFocusPolicy(Qt::ClickFocus);
            Bind(picture, button, Qt::Key_Space);
        }
        button->installEventFilter(this);
    }
}

void KeyBindings::Bind(QWidget& scope, QToolButton* button, int key) {
    auto* shortcut = new QShortcut(QKeySequence(key), &scope);
    shortcut->setContext(&scope == button->window() ? Qt::WindowShortcut
                                                    : Qt::WidgetWithChildrenShortcut);
    shortcut->setAutoRepeat(false);  // a held key presses once, like a held button
    shortcut->setEnabled(button->isEnabled());
    connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled()) {
            button->click();
        }
    });
    bindings_.push_back({button, shortcut});
}

QString KeyBindings::KeyName(const QString& buttonName) {
    for (const KeyOfButton& key : kKeys) {
        if (buttonName == QLatin1String(key.button)) {
            return QString::fromUtf8(key.name);
        }
    }
    return {};
}

bool KeyBindings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::ShortcutOverride &&
        list_->model()->rowCount() > 0) {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->modifiers() == Qt::NoModifier &&
            std::find(std::begin(kListKeys), std::end(kListKeys), press->key()) !=
                std::end(kListKeys)) {
            event->accept();  // the list takes the key itself
            return true;
        }
    }
    if (event->type() == QEvent::EnabledChange) {
        for (const Binding& binding : bindings_) {
            if (binding.button == watched) {
                binding.shortcut->setEnabled(binding.button->isEnabled());
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dm
