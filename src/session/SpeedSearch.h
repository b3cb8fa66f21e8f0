#pragma once
// The host speed search of every window and hlx-cli: each speed of a
// generation's list gets one step, in order, and the first line the device
// sends ends the search at the speed under trial. What trying a speed means
// (the port's speed, the version query, the speed shown) is the owner's, on
// speedTried.

#include <QObject>
#include <QTimer>

#include <array>
#include <span>
#include <vector>

namespace hlx {

// An entry of a speed list: one step at the speed the port was opened with, nothing asked.
inline constexpr int kAsOpened = -1;
inline constexpr int kSpeedStepMs = 200;
// Indexes of the host speed list. The current generation is first heard at
// the opening speed, then asked at 115200 down to 4800; the older ones are
// asked at 38400 first, then down to 4800.
inline constexpr std::array kCurrentSearchSpeeds{kAsOpened, 5, 4, 3, 2, 1, 0};
inline constexpr std::array kLegacySearchSpeeds{3, 2, 1, 0};

class SpeedSearch : public QObject {
  Q_OBJECT
 public:
  // `speeds`: tried in this order, each for `stepMs`.
  SpeedSearch(std::span<const int> speeds, int stepMs = kSpeedStepMs, QObject* parent = nullptr);

  // Starts (or restarts) with the first speed of the list, at once.
  void Start();
  // Ends the search without a find (the session ended).
  void Stop();
  // A line arrived: the search ends at the speed under trial, returned
  // (kAsOpened for the opening speed); kAsOpened when no search runs.
  int Answered();
  bool Running() const { return m_step >= 0; }
  // The speed under trial; kAsOpened when none.
  int Current() const;

 signals:
  // Set the port to `speedIndex` and ask the device.
  void speedTried(int speedIndex);
  // Every speed had its step and nothing was heard.
  void gaveUp();

 private:
  void Step();

  std::vector<int> m_speeds;
  QTimer m_timer;
  int m_step = -1;  // index into m_speeds; -1 when not running
};

}  // namespace hlx
