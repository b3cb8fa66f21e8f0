#pragma once
// TNetworkDlg: reads the network module's settings block, lets the user
// edit its address, netmask, gateway and data protocol, writes the block
// back and checks that the module answers again where it should.

#include <QDialog>

#include <memory>

#include "network/XportPackets.h"

namespace Ui {
class NetworkDlg;
}

namespace hlx {

class NetProgress;
class TXPort;
class UserPrompts;
struct NetForm;

class TNetworkDlg : public QDialog {
  Q_OBJECT
 public:
  TNetworkDlg(UserPrompts& prompts, NetProgress& progress, QWidget* parent = nullptr);
  ~TNetworkDlg() override;

  // The module to configure; set before showing.
  void SetTargetIP(const QString& ip) { m_targetIP = ip; }
  // What the main window takes over after OK.
  bool TcpChosen() const;
  QString IPText() const;
  void SetStepMs(int ms) { m_stepMs = ms; }

  // Enables the protocol controls to match the choices.
  void UpdateControls();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void ReadSettings();
  void Fill(const SetupBlock& block);
  NetForm Form() const;
  void btnOKClick();
  // Writes the validated block and waits for the module to answer again;
  // every outcome ends with the dialog closing with OK.
  void WriteAndVerify();
  void SetEditing(bool enable);
  void SetControlsVisible(bool visible);

  std::unique_ptr<Ui::NetworkDlg> ui;
  UserPrompts& m_prompts;
  NetProgress& m_progress;
  std::unique_ptr<TXPort> m_port;
  QString m_targetIP;
  SetupBlock m_block{};
  bool m_ipChanged = false;
  int m_stepMs;
  int m_operations = 0;  // see OperationScope
};

}  // namespace hlx
