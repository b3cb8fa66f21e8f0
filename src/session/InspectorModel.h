#pragma once
// The sentence inspector as a Qt table model: one row per inspector row, the
// columns of InspectorColumn. Refresh() is called on a timer (the view needs
// no more than a few refreshes a second), never per line. Sorting and the
// view filter's input are the proxy's business (InspectorFilter).

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "session/SentenceInspector.h"

namespace hlx {

// Sorts by the number behind a number column and by text otherwise.
inline constexpr int kInspectorSortRole = Qt::UserRole;
// The row is stale: its sentence has stopped coming.
inline constexpr int kInspectorStaleRole = Qt::UserRole + 1;

class InspectorModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  InspectorModel(const SentenceInspector& inspector, std::function<std::int64_t()> now,
                 QObject* parent = nullptr);

  // Takes in what the inspector counted since the last refresh; only cells
  // whose text or greying changed are signalled, so a view repaints just
  // those. True when a column may want another width: rows came or went, or
  // a text grew longer than any before it in its column.
  bool Refresh();
  const InspectorRow* Row(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const SentenceInspector& m_inspector;
  std::function<std::int64_t()> m_now;
  std::int64_t m_nowMs = 0;  // the time of the last refresh, so every cell reads the same moment
  int m_rows = 0;
  // What each row's cells showed at the last refresh.
  struct Shown {
    std::array<std::string, kInspectorColumns> texts;
    bool stale = false;
  };
  std::vector<Shown> m_shown;
  std::array<std::size_t, kInspectorColumns> m_longest{};  // characters, per column
};

// Shows the rows of one input (and those without a source), as the monitor's view filter does.
class InspectorFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetInput(int input);
  int Input() const { return m_input; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  int m_input = 0;
};

}  // namespace hlx
