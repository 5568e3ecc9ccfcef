#ifndef CELLVISITOR_H
#define CELLVISITOR_H

#include "workbookreader.h"

#include <QtGlobal>

// Reads every cell it is given, as the import would, and traps on a row wider than the
// reader promises.
class CellVisitor : public WorkbookReader::RowVisitor
{
public:
    void row(const WorkbookReader::Row &row) override
    {
        if (row.count < 0 || row.count > WorkbookReader::defaultColumns)
            __builtin_trap();
        for (int i = 0; i < row.count; ++i)
            m_sum += row.cells[i].toString().size();
    }
    void restart() override { m_sum = 0; }

private:
    qint64 m_sum = 0;
};

#endif // CELLVISITOR_H
