#include "session/InspectorModel.h"

namespace hlx {

InspectorModel::InspectorModel(const SentenceInspector& inspector, std::function<std::int64_t()> now,
                               QObject* parent)
    : QAbstractTableModel(parent), m_inspector(inspector), m_now(std::move(now)) {}

void InspectorModel::Refresh() {
  m_nowMs = m_now();
  const int rows = static_cast<int>(m_inspector.Rows().size());
  if (rows < m_rows) {
    // Cleared: rows only ever come back in a new order.
    beginResetModel();
    m_rows = rows;
    endResetModel();
    return;
  }
  if (rows > m_rows) {
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
  }
  // Every row's age moves on, so every cell may have changed; the view repaints only what it shows.
  if (m_rows > 0) emit dataChanged(index(0, 0), index(m_rows - 1, kInspectorColumns - 1));
}

const InspectorRow* InspectorModel::Row(int row) const {
  return row >= 0 && row < m_rows ? &m_inspector.Rows()[static_cast<std::size_t>(row)] : nullptr;
}

int InspectorModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int InspectorModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kInspectorColumns;
}

QVariant InspectorModel::data(const QModelIndex& index, int role) const {
  const InspectorRow* row = Row(index.row());
  if (!row) return {};
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(InspectorCell(*row, column, m_nowMs));
    case kInspectorSortRole:
      return InspectorNumeric(column)
                 ? QVariant(InspectorValue(*row, column, m_nowMs))
                 : QVariant(QString::fromStdString(InspectorCell(*row, column, m_nowMs)));
    case kInspectorStaleRole: return SentenceInspector::Stale(*row, m_nowMs);
    case Qt::AccessibleTextRole:
      // The grey of a stopped row is not seen by a screen reader: its first cell says it.
      if (column == ColInput && SentenceInspector::Stale(*row, m_nowMs))
        return QString::fromStdString(InspectorCell(*row, column, m_nowMs)) + QStringLiteral(" (stopped)");
      return QString::fromStdString(InspectorCell(*row, column, m_nowMs));
    case Qt::TextAlignmentRole:
      return InspectorNumeric(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default: return {};
  }
}

QVariant InspectorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kInspectorColumns)
    return QAbstractTableModel::headerData(section, orientation, role);
  return QString::fromLatin1(InspectorHeader(section));
}

void InspectorFilter::SetInput(int input) {
  if (input == m_input) return;
  m_input = input;
  invalidateFilter();
}

bool InspectorFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* model = static_cast<const InspectorModel*>(sourceModel());
  const InspectorRow* row = model ? model->Row(sourceRow) : nullptr;
  return row && InspectorShows(*row, m_input);
}

}  // namespace hlx
