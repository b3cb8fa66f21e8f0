#include "session/SessionHost.h"

#include <QEventLoop>
#include <QTimer>

namespace hlx {

void SessionHost::Pause(int ms) {
  // Pending events run meanwhile (a reply may arrive), but no user input.
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace hlx
