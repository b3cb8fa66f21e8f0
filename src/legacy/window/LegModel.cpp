// What a generation's layout shows, names and captions, and what the
// connected model adds to it once its version reply has told which it is.
#include <QAction>
#include <QButtonGroup>
#include <QMenu>

#include <algorithm>

#include "legacy/window/LegMainForm.h"
#include "ui_LegMainForm.h"

namespace hlx::legacy {

namespace {
QString Text(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

void TLegMainForm::ApplyGenerationLayout() {
  ui->cbBaudHost->setObjectName(Text(m_gen.hostSpeedList));
  ui->gbOptions->setObjectName(Text(m_gen.optionsGroup));
  ui->rbAuto->setText(Text(m_gen.autoModeCaption));
  ui->rbAIS->hide();
  for (QCheckBox* box :
       {ui->chbSeaTalk, ui->chbPriority, ui->chbChannelNo, ui->chbChannelID, ui->chbHDGXlate, ui->chbAIS})
    box->hide();
  for (int o = 0; o < kOptionCount; ++o)
    if (QCheckBox* box = OptionBox(static_cast<Option>(o))) box->show();
  QCheckBox* const rt[kInputs] = {ui->chbRTime1, ui->chbRTime2, ui->chbRTime3, ui->chbRTime4};
  QLabel* const ids[kInputs] = {ui->lblTalkID1, ui->lblTalkID2, ui->lblTalkID3, ui->lblTalkID4};
  for (int i = 0; i < kInputs; ++i) {
    rt[i]->setText(InputCaption(i));
    ids[i]->setText(InputCaption(i) + u':');
  }
  ui->FilterGrid->SetShape(m_gen.divisor, m_gen.compactGrid);
  if (!m_gen.LayoutFromModel()) return;
  // Until the version reply names the model only what every model has is shown.
  for (QWidget* w : {static_cast<QWidget*>(ui->gbOptions), static_cast<QWidget*>(ui->gbRealTime),
                     static_cast<QWidget*>(ui->gbTalkerID), static_cast<QWidget*>(ui->gbFilter)})
    w->hide();
  for (QAction* a : FileMenuItems()) a->setVisible(false);
  // Of the options, only what the layout names before any model is known.
  ui->chbChannelNo->hide();
  ui->chbChannelID->hide();
  ui->chbHDGXlate->hide();
}

QString TLegMainForm::InputCaption(int input) const {
  return (m_gen.channelCaptions ? QStringLiteral("Ch.%1") : QStringLiteral("In %1")).arg(input + 1);
}

std::array<QAction*, 4> TLegMainForm::FileMenuItems() const {
  // The separator in front of "&Open..." belongs to the group.
  const QList<QAction*> actions = ui->miFile->actions();
  const qsizetype open = actions.indexOf(ui->miOpen);
  return {open > 0 ? actions[open - 1] : ui->miOpen, ui->miOpen, ui->miSave, ui->miSaveAs};
}

void TLegMainForm::ApplyModel(const QString& serial, const QString& version) {
  ModelClass = ModelClassFor(serial, version, ModelClass);
  ApplyModelLayout(LayoutForModelClass(ModelClass));
}

void TLegMainForm::ApplyModelLayout(const ModelLayout& layout) {
  for (QAction* a : FileMenuItems()) a->setVisible(layout.full);
  SetPanel(3, layout.full ? QStringLiteral("Config file:") : QString());
  ui->gbRealTime->setVisible(layout.full);
  ui->gbTalkerID->setVisible(layout.full);
  ui->gbFilter->setVisible(layout.full);
  for (int o = 0; o < kOptionCount; ++o)
    if (QCheckBox* box = OptionBox(static_cast<Option>(o)))
      box->setVisible(layout.shown[static_cast<std::size_t>(o)]);
  // The box keeps sending its own CF field whatever it is called.
  ui->chbPriority->setText(layout.priorityAsSeaTalk ? QStringLiteral("SeaTalk --> NMEA")
                                                    : QStringLiteral("Priority"));
  m_storeDivisor = layout.divisorColumn;
  ui->FilterGrid->SetShape(m_gen.divisor && layout.divisorColumn, m_gen.compactGrid);
  // The height names how many boxes the model has; a style with taller boxes
  // than that height allows gets the group its boxes need, not clipped boxes.
  ui->optionsLayout->invalidate();
  if (layout.optionsHeight > 0)
    ui->gbOptions->setFixedHeight(std::max(layout.optionsHeight, ui->gbOptions->minimumSizeHint().height()));
  ui->gbOptions->setVisible(layout.optionsHeight > 0);
}

void TLegMainForm::SetModeItems(const QStringList& items) {
  QAbstractButton* const buttons[] = {ui->rbServer, ui->rbHub, ui->rbAuto, ui->rbAIS};
  for (int i = 0; i < kModeItemsWithAis; ++i) {
    buttons[i]->setVisible(i < items.size());
    if (i < items.size()) buttons[i]->setText(items[i]);
  }
}

}  // namespace hlx::legacy
