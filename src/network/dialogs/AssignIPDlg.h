#pragma once
// TAssignIPDlg: gives a Halyx-LAN unit an IP address by its MAC address. No
// reply exists; the dialog only gives the unit time to restart.

#include <QDialog>

#include <memory>

namespace Ui {
class AssignIPDlg;
}

namespace hlx {

class NetProgress;
class TXPort;
class UserPrompts;

class TAssignIPDlg : public QDialog {
  Q_OBJECT
 public:
  TAssignIPDlg(UserPrompts& prompts, NetProgress& progress, QWidget* parent = nullptr);
  ~TAssignIPDlg() override;

  // Shows the dialog modally over `owner` with `mac` in the MAC field (empty
  // from the menu, the selected unit's from the search dialog).
  int ExecFor(const QString& mac, QWidget* owner = nullptr);
  void SetStepMs(int ms) { m_stepMs = ms; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void btnOKClick();
  // Sends the assignment and gives the unit its time to restart.
  void SendAndWait(const QByteArray& packet);

  std::unique_ptr<Ui::AssignIPDlg> ui;
  UserPrompts& m_prompts;
  NetProgress& m_progress;
  std::unique_ptr<TXPort> m_port;
  int m_stepMs;
  int m_operations = 0;  // see OperationScope
};

}  // namespace hlx
