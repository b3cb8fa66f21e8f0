#include "window/InspectorPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "session/InspectorModel.h"
#include "session/SentenceInspector.h"

namespace hlx {

namespace {

constexpr int kFieldsWidthEms = 14;

// A row whose sentence has stopped coming is drawn grey.
class StaleRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(kInspectorStaleRole).toBool())
      option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
  }
};

}  // namespace

TInspectorPanel::TInspectorPanel(SentenceInspector& inspector, std::function<std::int64_t()> now,
                                 std::function<int()> viewFilter, QWidget* parent)
    : QWidget(parent), m_inspector(inspector), m_viewFilter(std::move(viewFilter)) {
  setObjectName(QStringLiteral("InspectorPanel"));
  m_model = new InspectorModel(inspector, std::move(now), this);
  m_filter = new InspectorFilter(this);
  m_filter->setSourceModel(m_model);
  m_filter->setSortRole(kInspectorSortRole);

  m_table = new QTableView;
  m_table->setObjectName(QStringLiteral("tvSentences"));
  m_table->setAccessibleName(QStringLiteral("Sentences"));
  m_table->setAccessibleDescription(QStringLiteral(
      "One row per input and sentence: count, rate, time since last seen, longest gap and faults"));
  m_table->setModel(m_filter);
  m_table->setSortingEnabled(true);
  // By input until the user picks a column; within an input the sort is stable, so in order of arrival.
  m_table->sortByColumn(ColInput, Qt::AscendingOrder);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setItemDelegate(new StaleRowDelegate(m_table));
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
  m_table->horizontalHeader()->setMinimumSectionSize(
      m_table->fontMetrics().horizontalAdvance(QStringLiteral("000")));
  // Fitted to the contents when they grow (Refresh), not re-measured with every repaint.
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

  m_fields = new QTableWidget(0, 3);
  m_fields->setObjectName(QStringLiteral("twFields"));
  m_fields->setAccessibleName(QStringLiteral("Fields of the selected sentence"));
  m_fields->setHorizontalHeaderLabels(
      {QStringLiteral("Field"), QStringLiteral("Value"), QStringLiteral("Unit")});
  m_fields->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_fields->verticalHeader()->hide();
  m_fields->verticalHeader()->setDefaultSectionSize(m_table->verticalHeader()->defaultSectionSize());
  m_fields->setWordWrap(false);
  // Name and unit as wide as they need, the value takes the rest.
  m_fields->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  m_fields->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  m_fields->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

  auto* clear = new QPushButton(QStringLiteral("Clear"));
  clear->setObjectName(QStringLiteral("btnClearSentences"));
  clear->setAccessibleDescription(QStringLiteral("Forget every count and start again"));
  connect(clear, &QPushButton::clicked, this, [this] {
    m_inspector.Clear();
    Refresh();
  });

  auto* split = new QSplitter(Qt::Horizontal);
  split->addWidget(m_table);
  split->addWidget(m_fields);
  // The table first: the fields of one sentence need only a narrow column.
  split->setStretchFactor(0, 1);
  m_fields->setMinimumWidth(m_fields->fontMetrics().horizontalAdvance(QLatin1Char('M')) * kFieldsWidthEms);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(clear);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);
  layout->addLayout(buttons);

  connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { ShowFields(); });
  m_timer.setInterval(kInspectorRefreshMs);
  connect(&m_timer, &QTimer::timeout, this, &TInspectorPanel::Refresh);
}

void TInspectorPanel::showEvent(QShowEvent* event) {
  Refresh();
  m_timer.start();
  QWidget::showEvent(event);
}

void TInspectorPanel::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QWidget::hideEvent(event);
}

void TInspectorPanel::Refresh() {
  const int input = m_viewFilter ? m_viewFilter() : 0;
  const bool otherRows = input != m_filter->Input();
  m_filter->SetInput(input);
  if (m_model->Refresh() || otherRows) m_table->resizeColumnsToContents();
  ShowFields();
}

void TInspectorPanel::ShowFields() {
  const QModelIndex current = m_filter->mapToSource(m_table->currentIndex());
  const InspectorRow* row = current.isValid() ? m_model->Row(current.row()) : nullptr;
  const std::vector<DescribedField> fields = row ? DescribeFields(row->last) : std::vector<DescribedField>{};
  m_fields->setRowCount(static_cast<int>(fields.size()));
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    const DescribedField& f = fields[static_cast<std::size_t>(i)];
    const std::string* texts[] = {&f.name, &f.value, &f.unit};
    for (int c = 0; c < 3; ++c) {
      const QString text = QString::fromStdString(*texts[c]);
      if (QTableWidgetItem* item = m_fields->item(i, c)) {
        if (item->text() != text) item->setText(text);
      } else {
        m_fields->setItem(i, c, new QTableWidgetItem(text));
      }
    }
  }
}

}  // namespace hlx
