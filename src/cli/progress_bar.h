// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A progress bar on stderr, redrawn in place: only when stderr is a terminal (and the
// user did not ask for quiet); otherwise it writes nothing at all, so logs and pipes stay
// clean. It only moves forward, and not at all once frozen (an interrupted transfer
// shows what was done). Any thread: updates are serialised.

#include <mutex>
#include <string>

namespace dm::cli {

class ProgressBar {
  public:
    ProgressBar(std::string label, bool quiet);
    ~ProgressBar();  // ends the line
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(int percent);
    // The same with what is being done after the bar ("00000003.jpg, 12.0 of 40.5 kB,
    // 3 s left").
    void Update(int percent, std::string detail);
    // A new label ("shot 3 of 5") with the bar where it is.
    void Relabel(std::string label);
    void Freeze();

  private:
    void DrawLocked();

    std::mutex lock_;
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    bool frozen_ = false;
    int percent_ = -1;
    std::string detail_;
    std::size_t drawnWidth_ = 0;
};

}  // namespace dm::cli
