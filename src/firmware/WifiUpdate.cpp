#include "firmware/WifiUpdate.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "firmware/FtpProtocol.h"
#include "firmware/FwUpdate.h"
#include "link/Nmeadefs.h"
#include "session/SessionCore.h"
#include "session/SessionHost.h"
#include "session/UserPrompts.h"

namespace hlx {

namespace {

const char* const kNoAddress =
    "This computer has no IPv4 network address.\rThe WiFi module needs one to fetch its firmware from.";
const char* const kReady = "RDY";
// The order travels as one received line (kMaxLineLength, CR LF included): "$" + order + "*hh\r\n".
constexpr qsizetype kLineOverhead = 1 + 5;

}  // namespace

std::string WifiUpdateCommand(const QString& fileName, const QString& hostAddress) {
  return CommandText(kAddrWI, {"U", fileName.toStdString(), hostAddress.toStdString()});
}

QString ImageFolder(const QString& imageFile) {
  const QString folder = QFileInfo(imageFile).absolutePath();
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString WifiFileNameProblem(const QString& fileName, const QString& hostAddress) {
  // The name travels as one field of a sentence: no sentence syntax, plain
  // ASCII the module's parser takes, and the whole line within its limit.
  bool plain = !fileName.isEmpty();
  for (QChar c : fileName)
    if (c.unicode() < 0x20 || c.unicode() > 0x7E || QStringLiteral(",*$!\\").contains(c)) plain = false;
  const qsizetype room =
      qsizetype(kMaxLineLength) - kLineOverhead - qsizetype(WifiUpdateCommand({}, hostAddress).size());
  if (plain && fileName.size() <= room) return {};
  return QStringLiteral(
             "The name of the file \"%1\" cannot be sent to the multiplexer.\r"
             "Rename it: at most %2 plain ASCII characters, without , * $ ! or \\.")
      .arg(fileName)
      .arg(room);
}

bool WifiModuleReady(std::string_view line) {
  std::string field;
  return ExtractField(line, 1, field) >= 0 && field == kReady;
}

WifiUpdate::WifiUpdate(SessionHost& host, SessionCore& core, WifiWindow& window)
    : m_host(host), m_window(window) {
  core.OnSentence(SidWI, [this](const std::string& line) {
    if (WifiModuleReady(line)) Stop();
  });
}

void WifiUpdate::Start() {
  UserPrompts& prompts = m_host.Prompts();
  if (!m_host.ChannelOpen())
    return prompts.Inform(QString::fromLatin1(kConnectBeforeUpdateText), {}, PromptIcon::Warning);
  const QStringList addresses = m_window.LocalAddresses();
  if (addresses.isEmpty()) return prompts.Inform(QString::fromLatin1(kNoAddress), {}, PromptIcon::Error);
  const QString hostAddress = addresses.size() < 2 ? addresses.first() : m_window.PickHostAddress(addresses);
  if (hostAddress.isEmpty()) return;
  const QString image = prompts.OpenFile(QString(), OpenDialogFilters(), kOpenFilterWifiImage);
  if (image.isEmpty()) return;
  const QString fileName = QFileInfo(image).fileName();
  if (const QString problem = WifiFileNameProblem(fileName, hostAddress); !problem.isEmpty())
    return prompts.Inform(problem, {}, PromptIcon::Error);
  if (!Serve(hostAddress)) return;
  m_server.SetRoot(ImageFolder(image));
  m_host.SendSentence(WifiUpdateCommand(fileName, hostAddress));
}

bool WifiUpdate::Serve(const QString& hostAddress) {
  const QHostAddress address(hostAddress);
  // A second update only changes the folder, unless it names another address.
  if (m_server.Active() && m_server.Address() == address) return true;
  const quint16 port = FtpListenPort();
  QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
  QString errorText;
  if (address.protocol() != QAbstractSocket::IPv4Protocol) {
    errorText = QStringLiteral("not an IPv4 address");
  } else if (m_server.Start(address, port, &error, &errorText)) {
    return true;
  }
  m_host.Prompts().Inform(
      FtpListenFailure(hostAddress, port, error, errorText, QCoreApplication::applicationFilePath()), {},
      PromptIcon::Error);
  return false;
}

}  // namespace hlx
