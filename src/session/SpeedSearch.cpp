#include "session/SpeedSearch.h"

namespace hlx {

SpeedSearch::SpeedSearch(std::span<const int> speeds, int stepMs, QObject* parent)
    : QObject(parent), m_speeds(speeds.begin(), speeds.end()) {
  m_timer.setInterval(stepMs);
  connect(&m_timer, &QTimer::timeout, this, [this] {
    ++m_step;
    Step();
  });
}

void SpeedSearch::Start() {
  m_step = 0;
  m_timer.start();
  Step();
}

void SpeedSearch::Stop() {
  m_timer.stop();
  m_step = -1;
}

int SpeedSearch::Answered() {
  const int speed = Current();
  Stop();
  return speed;
}

int SpeedSearch::Current() const {
  return Running() && m_step < static_cast<int>(m_speeds.size()) ? m_speeds[static_cast<std::size_t>(m_step)]
                                                                 : kAsOpened;
}

void SpeedSearch::Step() {
  if (m_step >= static_cast<int>(m_speeds.size())) {
    // The last speed has had its step as well.
    Stop();
    emit gaveUp();
    return;
  }
  if (const int speed = Current(); speed != kAsOpened) emit speedTried(speed);
}

}  // namespace hlx
