#pragma once
// The "Sentences" view beside the raw monitor: the inspector's table (sorted
// by any column, following the monitor's input filter), the fields of the
// selected row's last sentence, and "Clear". It repaints on its own timer
// while it is visible, never per received line.

#include <QTimer>
#include <QWidget>
#include <functional>

class QTableView;
class QTableWidget;

namespace hlx {

class SentenceInspector;
class InspectorModel;
class InspectorFilter;

// Twice a second: rates are taken over 10 s, and each refresh repaints most cells.
inline constexpr int kInspectorRefreshMs = 500;

class TInspectorPanel : public QWidget {
  Q_OBJECT
 public:
  // `viewFilter` gives the monitor's input filter (0: all inputs).
  TInspectorPanel(SentenceInspector& inspector, std::function<std::int64_t()> now,
                  std::function<int()> viewFilter, QWidget* parent = nullptr);

  void Refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ShowFields();

  SentenceInspector& m_inspector;
  std::function<int()> m_viewFilter;
  InspectorModel* m_model;
  InspectorFilter* m_filter;
  QTableView* m_table;
  QTableWidget* m_fields;
  QTimer m_timer;
};

}  // namespace hlx
