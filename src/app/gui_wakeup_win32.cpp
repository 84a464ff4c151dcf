// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui_wakeup.h"

#include <QMetaObject>
#include <QObject>

namespace dm {

GuiWakeup::GuiWakeup(QObject* context, std::function<void()> onWake)
    : context_(context), onWake_(std::move(onWake)) {}

GuiWakeup::~GuiWakeup() = default;

void GuiWakeup::Wake() {
    QMetaObject::invokeMethod(context_, onWake_, Qt::QueuedConnection);
}

}  // namespace dm
