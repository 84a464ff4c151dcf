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
    std::lock_guard guard(lock_);
    percent = std::clamp(percent, 0, kPercent);
    if (!enabled_ || percent == percent_) {
        return;
    }
    percent_ = percent;
    DrawLocked();
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
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), std::max(percent_, 0));
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace dm::cli
