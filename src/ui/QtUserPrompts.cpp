#include "ui/QtUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace hlx {

namespace {
QMessageBox::Icon ToQt(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QString CaptionOr(const QString& caption) {
  return caption.isEmpty() ? QApplication::applicationName() : caption;
}
}  // namespace

void QtUserPrompts::Inform(const QString& text, const QString& caption, PromptIcon icon) {
  QMessageBox box(ToQt(icon), CaptionOr(caption), PromptText(text), QMessageBox::Ok, m_parent);
  box.exec();
}

bool QtUserPrompts::AskYesNo(const QString& text, const QString& caption, PromptIcon icon) {
  QMessageBox box(ToQt(icon), CaptionOr(caption), PromptText(text), QMessageBox::Yes | QMessageBox::No,
                  m_parent);
  return box.exec() == QMessageBox::Yes;
}

QString QtUserPrompts::OpenFile(const QString& caption, const QStringList& filters, int selectedFilter,
                                const QString& directory) {
  QFileDialog dlg(m_parent, caption, directory);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setNameFilters(filters);
  if (selectedFilter >= 0 && selectedFilter < filters.size()) dlg.selectNameFilter(filters[selectedFilter]);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().constFirst();
}

QString QtUserPrompts::SaveFile(const QString& caption, const QStringList& filters, int selectedFilter,
                                const QString& defaultSuffix, const QString& directory) {
  QFileDialog dlg(m_parent, caption, directory);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilters(filters);
  dlg.setDefaultSuffix(defaultSuffix);
  if (selectedFilter >= 0 && selectedFilter < filters.size()) dlg.selectNameFilter(filters[selectedFilter]);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().constFirst();
}

}  // namespace hlx
