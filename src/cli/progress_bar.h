#pragma once
// A progress bar on stderr, redrawn in place: only when stderr is a terminal (and the
// user did not ask for quiet); otherwise it writes nothing at all, so logs and pipes stay
// clean. Any thread: updates are serialised.

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
    // A new label ("shot 3 of 5") with the bar where it is.
    void Relabel(std::string label);

  private:
    void DrawLocked();

    std::mutex lock_;
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    int percent_ = -1;
};

}  // namespace dm::cli
