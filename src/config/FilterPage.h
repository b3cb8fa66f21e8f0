#pragma once
// "Sentence Filtering && Routing" tab: the rule grid and its buttons, the
// no-match selector and Capture/Stop.

#include <QWidget>

#include "ui_FilterPage.h"

namespace hlx {

class TConfigPages;

class TFilterPage : public QWidget {
  Q_OBJECT
 public:
  TFilterPage(TConfigPages& owner, QWidget* parent);

  Ui::FilterPage ui;
  // Delete is usable exactly while an address or Div cell is selected.
  void UpdateDeleteButton();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void btnFilterAddClick();
  void btnFilterDelEntryClick();
  void btnFilterClearClick();
  void cbModeFilterChange(int index);

  TConfigPages& m_owner;
};

}  // namespace hlx
