// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui_wakeup.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>

#include <QSocketNotifier>

namespace dm {

namespace {

void MakeNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

GuiWakeup::GuiWakeup(QObject* context, std::function<void()> onWake)
    : context_(context), onWake_(std::move(onWake)) {
    std::array<int, 2> fds{-1, -1};
    if (pipe(fds.data()) != 0) {
        qFatal("GuiWakeup: no pipe for waking the window thread");
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    MakeNonBlocking(readFd_);
    MakeNonBlocking(writeFd_);
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, context_);
    QObject::connect(notifier_, &QSocketNotifier::activated, context_, [this] { Drain(); });
}

GuiWakeup::~GuiWakeup() {
    delete notifier_;
    close(readFd_);
    close(writeFd_);
}

void GuiWakeup::Wake() {
    const char byte = 1;
    // A full pipe already holds a wake; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = write(writeFd_, &byte, 1);
}

void GuiWakeup::Drain() {
    std::array<char, 64> bytes{};
    while (read(readFd_, bytes.data(), bytes.size()) > 0) {
    }
    onWake_();
}

}  // namespace dm
