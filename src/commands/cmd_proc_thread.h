#pragma once
// TCmdProcThread: runs one window request at a time against the microscope.
//
// The window stores a pending command code and resumes the thread; the thread runs the
// command registered for that code (codes not in the table run nothing), clears the code
// and waits at its gate again. The gate does not count: a resume while a command runs is
// not remembered. Commands may sleep, poll the device state, write frames and block in
// the window interface; they use Sleep() so a stop request cuts their waits short.
//
// Threads: RequestCommand, StoreCode and Resume are for the window thread; SetCommand
// only before the first request. Destruction requests a stop and joins the thread.

#include <QThread>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include "inbound/device_state.h"

namespace dm {

class TCmdProcThread : public QThread {
  public:
    using Command = std::function<void()>;

    explicit TCmdProcThread(DeviceState& state, QObject* parent = nullptr);
    ~TCmdProcThread() override;

    void SetCommand(uint16_t code, Command command);

    // Stores the code and resumes the thread.
    void RequestCommand(uint16_t code);
    // Stores the code without resuming (the camera-off signal).
    void StoreCode(uint16_t code);
    // Opens the gate once; a thread that is running a command ignores it.
    void Resume();

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

    // True while the thread waits at its gate with no command running.
    bool IsIdle() const;
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

    // Command-thread sleep that ends early on a stop request; false when stopped.
    bool Sleep(std::chrono::milliseconds duration);

  protected:
    void run() override;

  private:
    DeviceState& state_;
    std::map<uint16_t, Command> table_;
    mutable std::mutex gateLock_;
    mutable std::condition_variable gateChanged_;
    bool resumed_ = false;
    bool idle_ = false;
    std::atomic<bool> stop_{false};
};

}  // namespace dm
