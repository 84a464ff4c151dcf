// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The microscope's end of a pseudo-terminal. The program opens the slave path like any
// serial device; the microscope reads and writes the master.
//
// The microscope keeps one descriptor of the slave open itself, so the master never
// sees the hang-up (EIO) that would follow when the program closes the port between
// probes. That same descriptor lets it lift the exclusive-use mode the program sets
// (TIOCEXCL), which on a pseudo-terminal outlives the program's close because the master
// keeps the terminal alive.
//
// Thread: one owner thread; Open/Close may run on another before/after it. Wake may be
// called from any thread at any time in the object's life.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace dm::vm {

class PseudoTerminal {
  public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens a master (non-blocking, raw) and the microscope's own slave descriptor.
    // Returns false with ErrorText() set when any step fails; nothing stays open then.
    bool Open();
    void Close();
    bool IsOpen() const { return master_ >= 0; }

    const std::string& SlavePath() const { return slavePath_; }
    const std::string& ErrorText() const { return error_; }

    // Waits up to timeout for input (or, when wantWrite, for room to write), or until
    // Wake is called. A Wake that comes while nobody waits ends the next Wait at once.
    struct Readiness {
        bool readable = false;
        bool writable = false;
    };
    Readiness Wait(std::chrono::milliseconds timeout, bool wantWrite);
    void Wake();

    // Non-blocking. Read returns the bytes read (0: none now); Write the bytes accepted.
    std::size_t Read(uint8_t* dest, std::size_t capacity);
    std::size_t Write(const uint8_t* bytes, std::size_t n);

    // Bytes written to the master that the program has not read yet.
    std::size_t UnreadBySlave() const;
    // Throws those bytes away, so that the next program to open the port does not get
    // the tail of a conversation it never had.
    void DiscardUnread();

    // Exclusive-use mode of the slave as the program left it.
    bool IsExclusive() const;
    void ReleaseExclusive();
    // True when any descriptor but the microscope's own holds the slave open, in any
    // process including this one (Linux: /proc). Where that cannot be told: true.
    bool SlaveHeldElsewhere() const;

  private:
    int master_ = -1;
    int ownSlave_ = -1;
    // A pipe whose read end Wait watches besides the master; kept for the object's whole
    // life so that Wake never writes to a descriptor that Close has handed back.
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    // The process that held the slave at the last look, looked at first next time: the
    // program usually holds it for many looks, and that spares reading all of /proc.
    mutable int lastHolder_ = -1;
    std::string slavePath_;
    std::string error_;
};

}  // namespace dm::vm
