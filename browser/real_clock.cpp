#include "browser/real_clock.h"

#include <chrono>

#include "browser/live_wait.h"

namespace vantrelis {

RealClock::RealClock() : m_wait(std::make_unique<LiveWait>()) {}

RealClock::~RealClock() = default;

void RealClock::Pause(int32_t milliseconds) {
  if (m_wait->aborted()) throw BrowserAborted();
  if (milliseconds <= 0) return;
  PauseUnless(milliseconds, [] { return false; });
}

bool RealClock::PauseUnless(int64_t milliseconds, const std::function<bool()>& stop) {
  if (m_wait->aborted()) throw BrowserAborted();
  const int64_t end = NowMilliseconds() + milliseconds;
  const bool finished =
      m_wait->run([&] { return stop() || NowMilliseconds() >= end; },
                  [&]() -> std::optional<int64_t> { return end; }, [this] { return NowMilliseconds(); });
  if (!finished) throw BrowserAborted();
  return !stop();
}

void RealClock::Wake() { m_wait->wake(); }

int64_t RealClock::NowMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::abort() { m_wait->abort(); }

}  // namespace vantrelis
