// The list of input files: the rows of the window's list control, one full
// path per row, counted from 1. The control itself is the store; nothing else
// keeps a copy, and nothing is saved between runs.
#pragma once

#include <QString>

class QTreeWidget;

namespace orvane {

class FileList {
public:
    explicit FileList(QTreeWidget* control) : m_control(control) {}

    // Gives the control its single column " Word File(s)", then its width.
    void createColumn();
    void setColumnWidthTwips(int twips);

    void AddFile(const QString& path);
    void RemoveAt(int position);
    void ClearFiles();
    int FileCount() const;
    QString FilePathAt(int position) const;
    void SetFilePathAt(int position, const QString& path);

    // The selected row's position, 0 when no row is selected.
    int selectedRow() const;
    void selectRow(int position);

    QTreeWidget* control() const { return m_control; }

    // Changes whenever a row is added, removed or given another path, so that
    // a reader can tell whether what it gathered from the rows still holds.
    quint64 revision() const { return m_revision; }

    static const QString ColumnCaption;

private:
    void checkPosition(int position) const;

    QTreeWidget* m_control;
    quint64 m_revision = 0;
};

}  // namespace orvane
