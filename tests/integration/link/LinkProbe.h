#pragma once
// Stands in for the main window in the link tests: counts the events TComm
// posts and, like DrainRxQueue, pops every queued line under RxLock on each
// WM_RXDATA.

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QStringList>
#include <memory>
#include <mutex>

#include "link/Comms.h"

namespace hlx::test {

class LinkProbe : public QObject {
 public:
  LinkProbe() : comm(std::make_unique<TComm>(this)) {}

  std::unique_ptr<TComm> comm;
  QStringList lines;  // as received, CR LF included
  int rxEvents = 0;
  int lostEvents = 0;

  bool event(QEvent* e) override {
    if (e->type() == WM_RXDATA) {
      ++rxEvents;
      if (comm) {
        std::lock_guard lock(comm->RxLock());
        auto& queue = comm->RxQueue();
        while (!queue.empty()) {
          lines << QString::fromLatin1(queue.front().data(), qsizetype(queue.front().size()));
          queue.pop_front();
        }
      }
      return true;
    }
    if (e->type() == WM_CHANNELLOST) {
      ++lostEvents;
      return true;
    }
    return QObject::event(e);
  }
};

inline QByteArray Latin1(const QString& s) { return s.toLatin1(); }

}  // namespace hlx::test
