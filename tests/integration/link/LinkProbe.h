#pragma once
// Stands in for the main window in the link tests: counts the events TComm
// posts and, like the window, drains the queue on each WM_RXDATA.

#include <QEvent>
#include <QObject>
#include <QStringList>
#include <memory>
#include <string>

#include "link/Comms.h"

namespace hlx::test {

class LinkProbe : public QObject {
 public:
  LinkProbe() : comm(std::make_unique<TComm>(this)) {}

  std::unique_ptr<TComm> comm;
  QStringList lines;  // as received, CR LF included
  int rxEvents = 0;
  int lostEvents = 0;
  bool autoDrain = true;  // false: lines stay queued, as behind a busy window

  void Drain() {
    comm->DrainRxQueue(
        [this](std::string l) { lines << QString::fromLatin1(l.data(), qsizetype(l.size())); });
  }

  bool event(QEvent* e) override {
    if (e->type() == WM_RXDATA) {
      ++rxEvents;
      if (comm && autoDrain) Drain();
      return true;
    }
    if (e->type() != WM_CHANNELLOST) return QObject::event(e);
    ++lostEvents;
    return true;
  }
};

inline QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

}  // namespace hlx::test
