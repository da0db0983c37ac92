#include "app/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace kelvane {

namespace {

// The write end of the pipe, for the handler: a handler may do little more than write(2).
volatile std::sig_atomic_t signalPipe = -1;

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(signalPipe, &byte, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  signalPipe = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [fd = pipe_[0], onStop = std::move(onStop)] {
                     char bytes[64];
                     while (::read(fd, bytes, sizeof bytes) > 0) {
                     }
                     onStop();
                   });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT}) {
    ::sigaction(signal, &action, nullptr);
  }
}

StopSignals::~StopSignals() {
  for (const int signal : {SIGTERM, SIGINT}) {
    std::signal(signal, SIG_DFL);
  }
  notifier_.reset();
  signalPipe = -1;
  for (const int fd : pipe_) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

}  // namespace kelvane
