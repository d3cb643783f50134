#pragma once

// What the progress windows' tables share: a read-only table that selects whole rows, and a
// cell that sorts by a number of its own while it shows its text.

#include <QStringList>
#include <QTableWidgetItem>

class QTableWidget;
class QWidget;

namespace app {

// A cell that sorts by its sort key (numbers as numbers) and shows its text.
class SortItem : public QTableWidgetItem {
public:
    SortItem(const QString& text, double key) : QTableWidgetItem(text) { setData(Qt::UserRole, key); }
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

// A table with these column headers, read-only, whole rows selected, the last column stretched.
QTableWidget* MakeTable(QWidget* parent, const char* name, const QStringList& headers);

} // namespace app
