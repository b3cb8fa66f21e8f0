#include "legacy/window/LegFilterGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

#include "legacy/LegacyFilterList.h"
#include "ui/MainWindowCommon.h"

namespace hlx::legacy {

namespace {

constexpr int kColumns = 7;
constexpr int kColumnWidths[kColumns] = {15, 15, 15, 15, 15, 57, 20};
constexpr int kCompactSentenceWidth = 43;
constexpr int kHeaderOffsets[kColumns] = {0, 4, 3, 3, 3, 3, 2};  // caption offset from the left edge
const char* const kHeaders[kColumns] = {"PC", "1", "2", "3", "4", "Sentence", "Div"};
constexpr int kGlyphSize = 11;
constexpr int kRowHeight = 18;

void PaintHeaderCell(QPainter* p, const QRect& r, int column, const QString& text, const QPalette& pal) {
  p->fillRect(r, pal.color(QPalette::Button));
  QFont f(QStringLiteral("MS Sans Serif"));
  f.setPointSize(8);
  p->setFont(f);
  p->setPen(pal.color(QPalette::WindowText));
  p->drawText(r.adjusted(kHeaderOffsets[column], 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
}

// Shows the grid's row 0 above the entries: it stays in place while they
// scroll and is never selected.
class HeaderRow : public QHeaderView {
 public:
  explicit HeaderRow(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
    // The style's minimum would widen the narrow flag columns.
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Fixed);
    setFixedHeight(kRowHeight);
  }

 protected:
  void paintSection(QPainter* p, const QRect& r, int column) const override {
    if (!model() || column < 0 || column >= kColumns) return;
    p->save();
    PaintHeaderCell(p, r, column, model()->index(0, column).data().toString(), palette());
    p->restore();
  }
};

// A tick on green for a passing source, a cross on red for a blocked one.
QPixmap DrawGlyph(bool pass) {
  QPixmap pm(kGlyphSize, kGlyphSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(pass ? QColor(0, 140, 0) : QColor(200, 0, 0), 2));
  if (pass) {
    p.drawPolyline(QPolygonF({QPointF(1.5, 5.5), QPointF(4.5, 8.5), QPointF(9.5, 2)}));
  } else {
    p.drawLine(QPointF(2, 2), QPointF(9, 9));
    p.drawLine(QPointF(9, 2), QPointF(2, 9));
  }
  return pm;
}

class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(TLegFilterGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRect r = option.rect;
    const QString text = index.data().toString();
    const QPalette& pal = m_grid->palette();
    p->save();
    if (index.column() < kFilterFlags) {
      p->fillRect(r, Qt::white);
      const QPixmap& glyph = text == QStringLiteral("1") ? m_grid->PassGlyph() : m_grid->BlockGlyph();
      p->drawPixmap(r.x() + (r.width() - glyph.width()) / 2, r.y() + (r.height() - glyph.height()) / 2,
                    glyph);
    } else {
      const bool selected = option.state & QStyle::State_Selected;
      p->fillRect(r, selected ? pal.color(QPalette::Highlight) : QColor(Qt::white));
      QFont f = TypewriterFont();
      f.setPointSize(11);
      p->setFont(f);
      p->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::WindowText));
      p->drawText(r.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    }
    if (option.state & QStyle::State_HasFocus) {
      p->setPen(QPen(pal.color(QPalette::WindowText), 1, Qt::DotLine));
      p->drawRect(r.adjusted(0, 0, -1, -1));
    }
    p->restore();
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    auto* e = new QLineEdit(parent);
    const bool sentence = index.column() == kSentenceColumn;
    // Sentence: five letters, digits or '-' (upper-cased); Div: up to two digits.
    e->setValidator(new QRegularExpressionValidator(
        QRegularExpression(sentence ? QStringLiteral("[A-Za-z0-9-]{0,5}") : QStringLiteral("[0-9]{0,2}")),
        e));
    e->setMaxLength(sentence ? 5 : kMaxDivisorDigits);
    if (sentence)
      QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& t) {
        const int pos = e->cursorPosition();
        e->setText(t.toUpper());
        e->setCursorPosition(pos);
      });
    return e;
  }

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    LegacyFilterList* list = m_grid->List();
    if (!list) return;
    const QString text = static_cast<QLineEdit*>(editor)->text();
    const int entry = index.row() - 1;
    if (index.column() == kSentenceColumn)
      list->SetSentence(entry, text);
    else
      list->SetDivisor(entry, text);
    // Refreshed later: the item being edited must not go away under its editor.
    QMetaObject::invokeMethod(
        m_grid, [grid = m_grid, entry] { grid->Refresh(entry); }, Qt::QueuedConnection);
  }

 private:
  TLegFilterGrid* m_grid;
};

}  // namespace

TLegFilterGrid::TLegFilterGrid(QWidget* parent)
    : QTableWidget(parent), m_pass(DrawGlyph(true)), m_block(DrawGlyph(false)) {
  setHorizontalHeader(new HeaderRow(this));
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setItemDelegate(new GridDelegate(this));
  connect(this, &QTableWidget::currentCellChanged, this,
          [this](int row, int column) { emit cellSelected(row, column); });
  SetShape(true, false);
}

void TLegFilterGrid::SetShape(bool divisorColumn, bool compact) {
  m_compact = compact;
  setColumnCount(divisorColumn ? kColumns : kDivColumn);
  for (int c = 0; c < columnCount(); ++c) setColumnWidth(c, kColumnWidths[c]);
  if (compact) setColumnWidth(kSentenceColumn, kCompactSentenceWidth);
  setEditTriggers(compact ? QAbstractItemView::NoEditTriggers
                          : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
  Refresh();
}

void TLegFilterGrid::SetList(LegacyFilterList* list) {
  m_list = list;
  Refresh();
}

void TLegFilterGrid::Refresh(int current) {
  const int keepColumn = currentColumn() < 0 ? kSentenceColumn : currentColumn();
  const int keepRow = currentRow();
  const auto& entries = m_list ? m_list->Entries() : std::vector<FilterEntry>{};
  const QSignalBlocker block(this);
  setRowCount(1 + static_cast<int>(entries.size()));
  setRowHidden(0, true);  // drawn by the header instead
  const auto put = [this](int row, int column, const QString& text, bool editable) {
    auto* item = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    setItem(row, column, item);
  };
  for (int c = 0; c < columnCount(); ++c) put(0, c, QString::fromLatin1(kHeaders[c]), false);
  if (m_compact) item(0, kSentenceColumn)->setText(QStringLiteral("Sent."));
  for (int r = 0; r < static_cast<int>(entries.size()); ++r) {
    const FilterEntry& e = entries[static_cast<std::size_t>(r)];
    for (int c = 0; c < kFilterFlags; ++c) put(r + 1, c, e.flags.mid(c, 1), false);
    put(r + 1, kSentenceColumn, e.sentence, !m_compact);
    if (columnCount() > kDivColumn) put(r + 1, kDivColumn, e.divisor, true);
  }
  horizontalHeader()->viewport()->update();
  const int row = current >= 0 ? current + 1 : std::min(keepRow, rowCount() - 1);
  setCurrentCell(row >= 1 ? row : -1, keepColumn);  // never the header row
  emit cellSelected(currentRow(), currentColumn());
}

void TLegFilterGrid::mousePressEvent(QMouseEvent* event) {
  QTableWidget::mousePressEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!m_list || !index.isValid() || index.row() < 1 || index.column() >= kFilterFlags) return;
  if (index.row() != currentRow() || index.column() != currentColumn()) return;
  m_list->ToggleFlag(index.row() - 1, index.column());
  Refresh(index.row() - 1);
}

}  // namespace hlx::legacy
