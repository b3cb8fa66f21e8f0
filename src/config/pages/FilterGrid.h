#pragma once
// FilterGrid: the owner-drawn grid of the filter tab. A fixed two-line header
// ("Inputs"/"Outputs" brackets and column captions), one 16-pixel row per
// rule, flag cells drawn as PASS/BLOCK images and toggled by a click, the
// address and Div cells edited in place. The rules live in a FilterList.

#include <QAbstractScrollArea>
#include <QPixmap>

#include <string>

class QLineEdit;

namespace hlx {

class FilterList;

class TFilterGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TFilterGrid(QWidget* parent = nullptr);

  void SetList(FilterList* list);
  // Whether the output "W" exists on the connected device.
  void SetOutputWExists(bool exists);
  bool OutputWExists() const { return m_wExists; }
  // Rows/columns changed outside the grid (add, delete, clear, capture, file).
  void ListChanged();

  // Rule rows shown.
  int RowCount() const;
  // Selected cell: rule index (-1 none) and column.
  int SelectedRow() const { return m_row; }
  int SelectedColumn() const { return m_col; }
  void SelectCell(int row, int column);
  // Cell rectangle in viewport coordinates (rule rows only).
  QRect CellRect(int row, int column) const;

  static int ColumnWidth(int column);
  static int ColumnLeft(int column);
  static constexpr int kHeaderHeight = 32;
  static constexpr int kRowHeight = 16;
  static const QPixmap& PassImage();
  static const QPixmap& BlockImage();

 signals:
  // A cell was selected by the user (Delete is enabled for 7 and 8 only).
  void CellSelected(int row, int column);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenEditor();
  void CommitEditor();
  void CancelEditor();
  void CloseEditor();
  void UpdateScrollRange();
  int RowTop(int row) const;
  void DrawHeader(class QPainter& p);

  FilterList* m_list = nullptr;
  bool m_wExists = false;  // unknown until a device is identified
  int m_row = -1;
  int m_col = 0;
  QLineEdit* m_editor = nullptr;
  QString m_editSaveText;
};

}  // namespace hlx
