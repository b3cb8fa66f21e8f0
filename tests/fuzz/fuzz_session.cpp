// What the session does with received lines, cut from arbitrary bytes as the
// port does: the dispatcher routes each line by its address and state; the
// monitor shows one row per line without control characters and keeps its
// limits; the inspector counts every line once in bounded rows; the VER reply's fields, capability word and
// version numbers stay inside what the window expects.

#include <QCoreApplication>
#include <QSet>

#include <string>

#include "FuzzCheck.h"
#include "link/LineParser.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "session/SentenceInspector.h"
#include "session/SessionCore.h"
#include "session/TrafficView.h"
#include "session/VersionCheck.h"

using namespace hlx;

namespace {

class SilentPrompts : public UserPrompts {
 public:
  void Inform(const QString&, const QString&, PromptIcon) override {}
  bool AskYesNo(const QString&, const QString&, PromptIcon) override { return false; }
  QString OpenFile(const QString&, const QStringList&, int, const QString&) override { return {}; }
  QString SaveFile(const QString&, const QStringList&, int, const QString&, const QString&) override {
    return {};
  }
};

std::string Address(std::string_view line) { return FieldOr(line, 0); }

// The window side: every call must fit the line being dispatched.
class Window : public SessionEvents {
 public:
  std::string_view line;  // as dispatched, cut at a NUL
  int shown = 0;
  void ShowLine(const std::string& l) override {
    FUZZ_CHECK(l == line);
    ++shown;
  }
  void HandleVerReply(const std::string& l) override { FUZZ_CHECK(l == line && Address(l) == "PQVXVER"); }
  void EndAutoBaud(int) override {}
  void RefreshControls(bool) override {}
  void UpdateControls() override {}
  void Transmit(std::string_view) override { FUZZ_CHECK(false); }  // receiving never sends
  bool LogActive() const override { return false; }
  void LogSent(std::string_view) override {}
};

void CheckMonitor(std::string_view line, bool showTag, TrafficView& scrolling, TrafficView& rows) {
  const auto logged = LoggedText(line, showTag);
  const auto shown = DisplayText(line, showTag);
  FUZZ_CHECK(logged.has_value() == shown.has_value());
  if (!shown) return;
  FUZZ_CHECK(logged->find('\0') == std::string_view::npos && line.find(*logged) != std::string_view::npos);
  FUZZ_CHECK(showTag || logged->find('\\') == std::string_view::npos);
  FUZZ_CHECK(shown->size() == static_cast<qsizetype>(logged->size()));
  for (QChar c : *shown) FUZZ_CHECK(c.category() != QChar::Other_Control);
  scrolling.Add(*shown);
  FUZZ_CHECK(scrolling.Lines().size() <= kMaxViewLines && scrolling.Lines().back().size() <= kMaxViewChars);
  rows.Add(*shown);
  FUZZ_CHECK(OverflowBits(line) <= 15);
}

// The no-scroll view holds one row per kind of sentence.
void CheckRows(const TrafficView& rows) {
  QSet<QString> keys;
  for (const QString& row : rows.Lines()) keys.insert(RowKey(row).left(kRowKeyChars));
  FUZZ_CHECK(keys.size() == rows.Lines().size());
}

void CheckInspector(const SentenceInspector& inspector, std::uint64_t lines, std::int64_t nowMs) {
  FUZZ_CHECK(inspector.Rows().size() <= kMaxInspectorRows + kInspectorInputs);
  std::uint64_t counted = 0;
  for (const InspectorRow& row : inspector.Rows()) {
    counted += row.count;
    FUZZ_CHECK(row.input >= 0 && row.input < kInspectorInputs && row.count > 0);
    FUZZ_CHECK(row.badChecksum + row.noChecksum <= row.count && row.tooLong <= row.count);
    const double rate = SentenceInspector::Rate(row, nowMs);
    FUZZ_CHECK(rate >= 0 && rate <= 1000.0 * kRateLines);
    // The detail view shows every field of the last line, each with a name.
    const auto fields = DescribeFields(row.last);
    std::size_t chars = fields.empty() ? 0 : fields.size();
    for (const DescribedField& f : fields) {
      FUZZ_CHECK(!f.name.empty());
      chars += f.value.size();
    }
    FUZZ_CHECK(chars <= row.last.size());
  }
  FUZZ_CHECK(counted == lines);
}

void CheckVerReply(std::string_view line) {
  const VerReply ver = ParseVerReply(line);
  for (const QString* f : {&ver.version, &ver.name, &ver.serial, &ver.caps})
    FUZZ_CHECK(f->size() <= kVerFieldMax);
  FUZZ_CHECK(ver.hasCaps == (ver.caps.size() == 4));
  const Capabilities caps = ParseCapabilities(ver.caps);
  FUZZ_CHECK(caps.valid || (!caps.supported && caps.word == 0));
  FUZZ_CHECK(caps.supported == (caps.valid && (caps.word & kCapsFamilyMask) == kCapsFamily));
  FUZZ_CHECK(caps.valid ? caps.hostKind >= 0 && caps.hostKind <= 3 : caps.hostKind == -1);
  FUZZ_CHECK(caps.supported || !caps.updatable);
  if (caps.valid)
    FUZZ_CHECK(ParseCapabilities(QString::number(caps.word, 16).rightJustified(4, u'0')).word == caps.word);
  const VersionNumbers v = ParseVersion(ver.version.toStdString());
  const std::string again =
      std::to_string(v.major) + '.' + std::to_string(v.minor) + '.' + std::to_string(v.release);
  FUZZ_CHECK(ParseVersion(again) == v);
  const FormChoice form = FormChoiceFor(v);
  FUZZ_CHECK(WindowForFormId(form.formId) == form.formId);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The reply time-out of the dispatcher is a timer, which wants an event loop's thread data.
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte sets the scene: session state, view filter and TAG display.
  const std::uint8_t scene = data[0];
  Window window;
  SilentPrompts prompts;
  SessionCore core(window, prompts);
  core.SetState(static_cast<SessionState>(scene % 7));
  core.SetViewFilter((scene >> 3) % 6);
  const bool showTag = scene & 0x80;
  core.SetReadBackHandler([&](int id, std::string_view l) {
    FUZZ_CHECK(l == window.line && id == LookupSentence(Address(l)));
    return id == SidFL && FieldOr(l, 2).empty();
  });
  core.OwnState(SessionState::FwLoader, [&](int id, const std::string& l) {
    FUZZ_CHECK(l == window.line && id == LookupSentence(Address(l)));
  });
  core.SetCaptureHandler([&](int source, std::string_view address) {
    FUZZ_CHECK(source >= 0 && source <= 9 && source == LineSourceInput(window.line));
    FUZZ_CHECK(address == Address(window.line));
  });
  TrafficView scrolling, rows;
  rows.SetNoScroll(true);

  std::uint64_t lines = 0;
  LineParser parser;
  parser.Feed(reinterpret_cast<const char*>(data) + 1, size - 1, [&](std::string_view line) {
    window.line = line.substr(0, line.find('\0'));
    window.shown = 0;
    const SessionState before = core.State();
    core.Dispatch(std::string(line));
    ++lines;
    FUZZ_CHECK(window.shown ==
               PassesViewFilter(window.line, core.ViewFilter(), LineSourceInput(window.line)));
    FUZZ_CHECK(!core.Updating());
    FUZZ_CHECK(core.State() == before || before != SessionState::Idle);
    CheckMonitor(line, showTag, scrolling, rows);
    if (Address(line) == "PQVXVER") CheckVerReply(line);
  });
  CheckRows(rows);
  CheckInspector(core.Inspector(), lines, core.NowMs());
  return 0;
}
