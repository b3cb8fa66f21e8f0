#include "config/pages/FilterGrid.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

#include <array>

#include "config/FilterList.h"
#include "ui/MainWindowCommon.h"

namespace hlx {

namespace {

constexpr std::array<int, FcColumnCount> kWidths = {17, 16, 16, 16, 16, 16, 16, 55, 21, 16, 16, 16, 16};
constexpr std::array<const char*, FcColumnCount> kCaptions = {"",         "H",   "1", "2", "3",  "4", "C",
                                                              "Sentence", "Div", "1", "2", "PC", "W"};
const QColor kHeaderText(0x80, 0x80, 0x80);
const QColor kMissingW(0xC0, 0xC0, 0xC0);
constexpr int kImageSize = 15;
constexpr int kHalfHeader = TFilterGrid::kHeaderHeight / 2;

QFont HeaderFont() {
  QFont f(QStringLiteral("MS Sans Serif"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(8);
  return f;
}

QFont CellFont() {
  QFont f = TypewriterFont();
  f.setPixelSize(10);
  return f;
}

QPixmap DrawFlagImage(bool pass) {
  QPixmap pm(kImageSize, kImageSize);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(0, 0, kImageSize - 1, kImageSize - 1);
  if (pass) {
    QPen pen(Qt::black);
    pen.setWidth(2);
    p.setPen(pen);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawLine(3, 7, 6, 10);
    p.drawLine(6, 10, 11, 4);
  }
  return pm;
}

}  // namespace

const QPixmap& TFilterGrid::PassImage() {
  static const QPixmap pm = DrawFlagImage(true);
  return pm;
}

const QPixmap& TFilterGrid::BlockImage() {
  static const QPixmap pm = DrawFlagImage(false);
  return pm;
}

int TFilterGrid::ColumnWidth(int column) {
  return column >= 0 && column < FcColumnCount ? kWidths[static_cast<std::size_t>(column)] : 0;
}

int TFilterGrid::ColumnLeft(int column) {
  int x = 0;
  for (int c = 0; c < column && c < FcColumnCount; ++c) x += kWidths[static_cast<std::size_t>(c)];
  return x;
}

TFilterGrid::TFilterGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFocusPolicy(Qt::StrongFocus);
  const int width = ColumnLeft(FcColumnCount) + 2 * frameWidth() + 20;
  setMinimumWidth(width);
  verticalScrollBar()->setSingleStep(kRowHeight);
}

int TFilterGrid::RowCount() const { return m_list ? m_list->Count() : 0; }

void TFilterGrid::SetList(FilterList* list) {
  m_list = list;
  ListChanged();
}

void TFilterGrid::SetOutputWExists(bool exists) {
  m_wExists = exists;
  viewport()->update();
}

void TFilterGrid::ListChanged() {
  CloseEditor();
  const int count = m_list ? m_list->Count() : 0;
  if (m_list && m_list->SelectedRow() >= 0 && m_list->SelectedRow() < count) {
    // A newly appended rule becomes the selected row.
    if (m_row != m_list->SelectedRow()) m_col = FcHost;
    m_row = m_list->SelectedRow();
  }
  if (m_row >= count) m_row = count - 1;
  if (m_row < 0) m_col = 0;
  UpdateScrollRange();
  viewport()->update();
}

void TFilterGrid::SelectCell(int row, int column) {
  CommitEditor();
  const int count = m_list ? m_list->Count() : 0;
  if (row < 0 || row >= count || column <= FcNumber || column >= FcColumnCount) return;
  m_row = row;
  m_col = column;
  if (m_list) m_list->SetSelectedRow(row);
  viewport()->update();
  emit CellSelected(row, column);
  if (column == FcName || column == FcDiv) OpenEditor();
}

int TFilterGrid::RowTop(int row) const {
  return kHeaderHeight + row * kRowHeight - verticalScrollBar()->value();
}

QRect TFilterGrid::CellRect(int row, int column) const {
  return {ColumnLeft(column), RowTop(row), ColumnWidth(column), kRowHeight};
}

void TFilterGrid::UpdateScrollRange() {
  const int count = m_list ? m_list->Count() : 0;
  const int visible = viewport()->height() - kHeaderHeight;
  verticalScrollBar()->setPageStep(std::max(kRowHeight, visible));
  verticalScrollBar()->setRange(0, std::max(0, count * kRowHeight - visible));
}

void TFilterGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
}

void TFilterGrid::scrollContentsBy(int, int) {
  if (m_editor) m_editor->setGeometry(CellRect(m_row, m_col));
  viewport()->update();
}

void TFilterGrid::DrawHeader(QPainter& p) {
  const QColor face = palette().color(QPalette::Button);
  p.fillRect(QRect(0, 0, ColumnLeft(FcColumnCount), kHeaderHeight), face);
  p.setFont(HeaderFont());
  // Brackets over the source and the output columns.
  auto bracket = [&](int first, int last, const QString& text) {
    const int x0 = ColumnLeft(first) + 2;
    const int x1 = ColumnLeft(last + 1) - 3;
    const int y = kHalfHeader - 4;
    p.setPen(kHeaderText);
    p.drawLine(x0, y, x1, y);
    p.drawLine(x0, y, x0, kHalfHeader);
    p.drawLine(x1, y, x1, kHalfHeader);
    const QRect textRect(x0, 0, x1 - x0, kHalfHeader);
    const int tw = p.fontMetrics().horizontalAdvance(text) + 4;
    p.fillRect(QRect(textRect.center().x() - tw / 2, 0, tw, kHalfHeader - 1), face);
    p.drawText(textRect.adjusted(0, 0, 0, -4), Qt::AlignHCenter | Qt::AlignBottom, text);
  };
  bracket(FcHost, FcConv, QStringLiteral("Inputs"));
  bracket(FcOut1, FcOutW, QStringLiteral("Outputs"));
  for (int c = 1; c < FcColumnCount; ++c) {
    p.setPen(c == FcOutW && !m_wExists ? kMissingW : kHeaderText);
    p.drawText(QRect(ColumnLeft(c), kHalfHeader, ColumnWidth(c), kHalfHeader), Qt::AlignCenter,
               QString::fromLatin1(kCaptions[static_cast<std::size_t>(c)]));
  }
}

void TFilterGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), palette().color(QPalette::Base));
  const QColor face = palette().color(QPalette::Button);
  const int count = m_list ? m_list->Count() : 0;
  p.save();
  p.setClipRect(QRect(0, kHeaderHeight, viewport()->width(), viewport()->height() - kHeaderHeight));
  for (int r = 0; r < count; ++r) {
    const int top = RowTop(r);
    if (top + kRowHeight < kHeaderHeight || top > viewport()->height()) continue;
    for (int c = 0; c < FcColumnCount; ++c) {
      const QRect cell = CellRect(r, c);
      const std::string text = m_list->CellText(r, c);
      if (c == FcNumber) {
        p.fillRect(cell, face);
        p.setFont(HeaderFont());
        p.setPen(kHeaderText);
        p.drawText(cell, Qt::AlignCenter, QString::fromStdString(text));
      } else if (c == FcName || c == FcDiv) {
        const bool selected = r == m_row && c == m_col;
        p.fillRect(cell, selected ? palette().color(QPalette::Highlight) : QColor(Qt::white));
        p.setFont(CellFont());
        p.setPen(selected ? palette().color(QPalette::HighlightedText) : QColor(Qt::black));
        p.drawText(cell.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(text));
      } else if (c == FcOutW && !m_wExists) {
        p.fillRect(cell, face);
      } else {
        p.drawPixmap(cell.topLeft(), text == "1" ? PassImage() : BlockImage());
      }
      if (r == m_row && c == m_col && hasFocus()) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = cell;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
      }
    }
  }
  p.restore();
  DrawHeader(p);
}

void TFilterGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const int count = m_list ? m_list->Count() : 0;
  if (pos.y() < kHeaderHeight || count == 0) return;
  const int row = (pos.y() - kHeaderHeight + verticalScrollBar()->value()) / kRowHeight;
  if (row >= count) return;
  int col = -1;
  for (int c = 0; c < FcColumnCount; ++c)
    if (pos.x() >= ColumnLeft(c) && pos.x() < ColumnLeft(c + 1)) col = c;
  if (col <= FcNumber) return;
  setFocus(Qt::MouseFocusReason);
  SelectCell(row, col);
  if (FilterList::IsFlagColumn(col) && m_list->ToggleFlag(row, col)) viewport()->update();
}

void TFilterGrid::OpenEditor() {
  if (m_editor || !m_list || m_row < 0) return;
  m_editor = new QLineEdit(viewport());
  m_editor->setObjectName(QStringLiteral("FilterGridEditor"));
  m_editor->setFont(CellFont());
  m_editor->setFrame(false);
  // Address: five characters, upper case; Div: up to two digits.
  m_editor->setInputMask(m_col == FcName ? QStringLiteral(">XXXXX;_") : QStringLiteral("00;_"));
  m_editSaveText = QString::fromStdString(m_list->CellText(m_row, m_col));
  m_editor->setText(m_editSaveText);
  m_editor->setGeometry(CellRect(m_row, m_col));
  m_editor->installEventFilter(this);
  m_editor->show();
  m_editor->setFocus(Qt::OtherFocusReason);
  m_editor->selectAll();
}

void TFilterGrid::CommitEditor() {
  if (!m_editor) return;
  QString text = m_editor->text();
  if (m_col == FcDiv) text.remove(QLatin1Char(' ')).remove(QLatin1Char('_'));
  // Unacceptable text (an incomplete address) keeps the old cell.
  m_list->SetText(m_row, m_col, text.toStdString());
  CloseEditor();
}

void TFilterGrid::CancelEditor() {
  if (!m_editor) return;
  m_list->SetText(m_row, m_col, m_editSaveText.toStdString());
  CloseEditor();
}

void TFilterGrid::CloseEditor() {
  if (!m_editor) return;
  QLineEdit* editor = m_editor;
  m_editor = nullptr;  // first: focus-out of the editor would commit again
  editor->removeEventFilter(this);
  editor->hide();
  editor->deleteLater();
  viewport()->update();
}

bool TFilterGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_editor) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) {
        CancelEditor();
        setFocus();
        return true;
      }
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        CommitEditor();
        setFocus();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      CommitEditor();
    }
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

}  // namespace hlx
