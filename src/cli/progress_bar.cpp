// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_bar.h"

#include "cli/terminal.h"

#include <algorithm>
#include <cstdio>

namespace dm::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr int kPercent = 100;
}  // namespace

ProgressBar::ProgressBar(std::string label, bool quiet)
    : label_(std::move(label)), enabled_(!quiet && StderrIsTerminal()) {}

ProgressBar::~ProgressBar() {
    std::lock_guard guard(lock_);
    if (drawn_) {
        std::fputs("\n", stderr);
    }
}

void ProgressBar::Update(int percent) {
    Update(percent, {});
}

void ProgressBar::Update(int percent, std::string detail) {
    std::lock_guard guard(lock_);
    percent = std::clamp(percent, 0, kPercent);
    if (!enabled_ || frozen_ || (percent <= percent_ && detail == detail_)) {
        return;
    }
    percent_ = std::max(percent, percent_);
    detail_ = std::move(detail);
    DrawLocked();
}

void ProgressBar::Freeze() {
    std::lock_guard guard(lock_);
    frozen_ = true;
}

void ProgressBar::Relabel(std::string label) {
    std::lock_guard guard(lock_);
    label_ = std::move(label);
    if (enabled_) {
        DrawLocked();
    }
}

void ProgressBar::DrawLocked() {
    const int filled = std::max(percent_, 0) * kBarWidth / kPercent;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::string line = label_ + " [" + bar + "] " + std::to_string(std::max(percent_, 0)) + "%";
    if (!detail_.empty()) {
        line += " " + detail_;
    }
    // Blanks over what a longer line before left.
    const std::size_t width = line.size();
    line.append(drawnWidth_ > width ? drawnWidth_ - width : 0, ' ');
    drawnWidth_ = width;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace dm::cli
