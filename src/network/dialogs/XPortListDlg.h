#pragma once
// TXPortListDlg: the Halyx-LAN units found on the network; the user picks
// one as the connection address, restores its default network settings or
// gives it another address.

#include <QDialog>

#include <memory>

namespace Ui {
class XPortListDlg;
}

namespace hlx {

class NetProgress;
class TAssignIPDlg;
class TXPort;
class UserPrompts;

class TXPortListDlg : public QDialog {
  Q_OBJECT
 public:
  TXPortListDlg(UserPrompts& prompts, NetProgress& progress, TAssignIPDlg& assign, QWidget* parent = nullptr);
  ~TXPortListDlg() override;

  // Runs a discovery and shows its result; every showing searches afresh.
  void Search();
  // The selected entry's address and MAC text; empty when nothing is selected.
  QString SelectedIP() const;
  QString SelectedMAC() const;
  // Length of one step of the fixed wait after a factory reset (tests shorten it).
  void SetStepMs(int ms) { m_stepMs = ms; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void lbxIPListClick();
  void btnResetClick();
  void btnChangeIPClick();
  QString SelectedEntry() const;

  std::unique_ptr<Ui::XPortListDlg> ui;
  UserPrompts& m_prompts;
  NetProgress& m_progress;
  TAssignIPDlg& m_assign;
  std::unique_ptr<TXPort> m_port;
  int m_stepMs;
  int m_operations = 0;  // see OperationScope
};

}  // namespace hlx
