#include "session/InspectorModel.h"

namespace hlx {

InspectorModel::InspectorModel(const SentenceInspector& inspector, std::function<std::int64_t()> now,
                               QObject* parent)
    : QAbstractTableModel(parent), m_inspector(inspector), m_now(std::move(now)) {}

bool InspectorModel::Refresh() {
  m_nowMs = m_now();
  const int rows = static_cast<int>(m_inspector.Rows().size());
  bool resize = false;
  if (rows < m_rows) {
    // Cleared: rows only ever come back in a new order.
    beginResetModel();
    m_rows = rows;
    m_shown.clear();
    m_longest = {};
    endResetModel();
    resize = true;
  } else if (rows > m_rows) {
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
    resize = true;
  }
  // Under live traffic most rows change a few cells (count, rate, age) and
  // keep the rest; repainting and re-measuring whole rows four times a
  // second is what made the visible table expensive.
  const std::size_t known = m_shown.size();
  m_shown.resize(static_cast<std::size_t>(m_rows));
  for (int r = 0; r < m_rows; ++r) {
    const InspectorRow& row = m_inspector.Rows()[static_cast<std::size_t>(r)];
    Shown& shown = m_shown[static_cast<std::size_t>(r)];
    const bool fresh = static_cast<std::size_t>(r) >= known;
    const bool stale = SentenceInspector::Stale(row, m_nowMs);
    const bool wholeRow = !fresh && stale != shown.stale;  // greyed or back: every cell looks different
    shown.stale = stale;
    for (int c = 0; c < kInspectorColumns; ++c) {
      std::string text = InspectorCell(row, c, m_nowMs);
      std::string& before = shown.texts[static_cast<std::size_t>(c)];
      if (text == before && !wholeRow) continue;
      std::size_t& longest = m_longest[static_cast<std::size_t>(c)];
      if (text.size() > longest) {
        longest = text.size();
        resize = true;
      }
      before = std::move(text);
      if (!fresh) emit dataChanged(index(r, c), index(r, c));
    }
  }
  return resize;
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
      // Inputs in order, the lines that name none after them.
      if (column == ColInput) return row->input > 0 ? row->input : kInspectorInputs;
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
  if (orientation != Qt::Horizontal || section < 0 || section >= kInspectorColumns)
    return QAbstractTableModel::headerData(section, orientation, role);
  if (role == Qt::DisplayRole) return QString::fromLatin1(InspectorHeader(section));
  if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole)
    return QString::fromLatin1(InspectorDescription(section));
  return {};
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
