#pragma once
// The legacy filter list's grid: row 0 is the header row, rows 1.. show the
// entries of a LegacyFilterList (flags PC, 1..4 as PASS/BLOCK glyphs, "Sentence",
// "Div"). Flag cells toggle on a click; "Sentence" and "Div" are edited in
// place, and an edit the list refuses is dropped.

#include <QPixmap>
#include <QTableWidget>

namespace hlx::legacy {

class LegacyFilterList;

inline constexpr int kSentenceColumn = 5;
inline constexpr int kDivColumn = 6;

class TLegFilterGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit TLegFilterGrid(QWidget* parent = nullptr);

  // The list shown; must outlive the grid's use of it.
  void SetList(LegacyFilterList* list);
  // With or without the "Div" column; the compact grid has a narrow "Sent."
  // column and no edits in place.
  void SetShape(bool divisorColumn, bool compact);
  // Rebuilds the rows from the list; `current` (entry index) becomes the current row when >= 0.
  void Refresh(int current = -1);
  // Current entry (row - 1), -1 on the header row or without a current cell.
  int CurrentEntry() const { return currentRow() - 1; }

  const QPixmap& PassGlyph() const { return m_pass; }
  const QPixmap& BlockGlyph() const { return m_block; }
  LegacyFilterList* List() const { return m_list; }

 signals:
  // Current cell changed (row, column), after the grid decided about editing.
  void cellSelected(int row, int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  LegacyFilterList* m_list = nullptr;
  bool m_compact = false;
  QPixmap m_pass;
  QPixmap m_block;
};

}  // namespace hlx::legacy
