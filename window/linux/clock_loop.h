// The one loop both Linux shells run: it waits on the display server's connection, the close
// signals and the time-zone watch, and ticks on the wall clock's tenths of a second. The shell
// tells it how its connection reads, handles and sends (LoopClient).
#pragma once

#include "display/local_clock.h"
#include "phrase/clock_reading.h"
#include "window/linux/event_loop.h"

namespace brumo {

// What the loop asks of a shell's connection to its display server.
class LoopClient {
 public:
  virtual ~LoopClient() = default;
  // The descriptor that becomes readable when the server has sent something.
  virtual int ConnectionFd() const = 0;
  // Handles whatever the connection has already taken in.
  virtual void HandleEvents() = 0;
  // The clock reads a new second: the window's tick.
  virtual void OnNewSecond() = 0;
  // After every tick, whether or not the second changed.
  virtual void AfterTick() {}
  // Sends what the handling wrote. False when the connection may hold events again (it read while
  // writing), so that the loop handles them before it sleeps.
  virtual bool ReadyToWait() = 0;
  // After the wait: whether the connection was readable.
  virtual void AfterWait(bool readable) = 0;
  // Whether the wait ends for what the server sends; false leaves it for the next tick.
  virtual bool WatchConnection() const { return true; }
};

class ClockLoop {
 public:
  ClockLoop() = default;
  ClockLoop(const ClockLoop&) = delete;
  ClockLoop& operator=(const ClockLoop&) = delete;

  // Takes the reading the window is loaded with, before the loop runs.
  void ReadNow() { reading_ = clock_.Now(); }
  // The reading the loop took for the tick that asks.
  const ClockReading& Reading() const { return reading_; }

  // Runs until Stop(): the first tick at once, each one then on the next tenth.
  void Run(LoopClient& client);
  void Stop() { running_ = false; }
  bool Running() const { return running_; }

 private:
  // Declared in the order they are made: the signals are blocked before anything else starts.
  CloseSignals signals_;
  ZoneWatch zone_;
  EventWait wait_;
  LocalClock clock_;
  ClockReading reading_;
  bool running_ = true;
};

}  // namespace brumo
