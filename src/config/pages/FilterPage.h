#pragma once
// "Sentence Filtering && Routing" tab: the rule grid and its buttons, the
// no-match selector and Capture/Stop.

#include <QWidget>

#include <memory>

#include "config/DeviceConfig.h"
#include "config/FilterList.h"

namespace Ui {
class FilterPage;
}

namespace hlx {

class SessionHost;

class TFilterPage : public QWidget {
  Q_OBJECT
 public:
  TFilterPage(SessionHost& host, DeviceConfig& config, FilterList& rules, QWidget* parent);
  ~TFilterPage() override;

  // The rule list changed outside the tab (read-back, capture, file, clear).
  void ListChanged();
  // Sends the whole rule list (the "Store List" sequence with its pacing).
  void StoreList();
  // Enables or disables every control but Capture/Stop.
  void SetControlsEnabled(bool enable);
  // Capture/Stop and the no-match selector as the session state and the model say.
  void ShowState(bool capturing, const DeviceConfig& config);
  // Whether the output "W" exists on the connected device.
  void SetOutputWExists(bool exists);

 signals:
  void captureClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void btnFilterAddClick();
  void btnFilterDelEntryClick();
  void cbModeFilterChange(int index);
  // Delete is usable exactly while an address or Div cell is selected.
  void UpdateDeleteButton();

  std::unique_ptr<Ui::FilterPage> ui;
  SessionHost& m_host;
  DeviceConfig& m_config;
  FilterList& m_rules;
};

}  // namespace hlx
