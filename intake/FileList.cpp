#include "FileList.h"

#include <QTreeWidget>

#include "ErrorReport.h"
#include "Units.h"

namespace orvane {

const QString FileList::ColumnCaption = QStringLiteral(" Word File(s)");

void FileList::createColumn() {
    m_control->setColumnCount(1);
    m_control->setHeaderLabels({ColumnCaption});
}

void FileList::setColumnWidthTwips(int twips) { m_control->setColumnWidth(0, twipsToPixels(twips)); }

void FileList::AddFile(const QString& path) {
    auto* item = new QTreeWidgetItem(m_control);
    item->setText(0, path);
    ++m_revision;
}

void FileList::RemoveAt(int position) {
    checkPosition(position);
    delete m_control->takeTopLevelItem(position - 1);
    ++m_revision;
}

void FileList::ClearFiles() {
    m_control->clear();
    ++m_revision;
}

int FileList::FileCount() const { return m_control->topLevelItemCount(); }

QString FileList::FilePathAt(int position) const {
    checkPosition(position);
    return m_control->topLevelItem(position - 1)->text(0);
}

void FileList::SetFilePathAt(int position, const QString& path) {
    checkPosition(position);
    m_control->topLevelItem(position - 1)->setText(0, path);
    ++m_revision;
}

int FileList::selectedRow() const {
    QTreeWidgetItem* item = m_control->currentItem();
    if (!item || !item->isSelected()) return 0;
    return m_control->indexOfTopLevelItem(item) + 1;
}

void FileList::selectRow(int position) {
    checkPosition(position);
    QTreeWidgetItem* item = m_control->topLevelItem(position - 1);
    m_control->setCurrentItem(item);
    item->setSelected(true);
}

void FileList::checkPosition(int position) const {
    if (position < 1 || position > FileCount())
        throw Failure(QStringLiteral("Invalid list position %1: the list holds %2 rows.").arg(position).arg(FileCount()));
}

}  // namespace orvane
