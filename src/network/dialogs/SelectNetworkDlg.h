#pragma once
// TSelectNetworkDlg: the user picks one of the computer's own IPv4 addresses
// when it has several (the wireless module's update needs the right one).

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class SelectNetworkDlg;
}

namespace hlx {

class TSelectNetworkDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TSelectNetworkDlg(QWidget* parent = nullptr);
  ~TSelectNetworkDlg() override;

  void SetAddresses(const QStringList& addresses);
  // The selected address; empty when nothing is selected.
  QString SelectedAddress() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::SelectNetworkDlg> ui;
};

}  // namespace hlx
