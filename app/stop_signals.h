// SIGTERM and SIGINT turned into a call on the window's thread.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace kelvane {

class StopSignals {
 public:
  // Calls onStop from the event loop after each SIGTERM or SIGINT, until the object goes.
  explicit StopSignals(std::function<void()> onStop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kelvane
