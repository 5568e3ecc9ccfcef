#ifndef ROWCELLS_H
#define ROWCELLS_H

#include "workbookreader.h"

#include <QVariant>
#include <QVector>

class ColumnWindow;

// The filled cells of one worksheet row that may be read, by their columns in the sheet.
// Cells right of the window only leave a mark, so a row holds a handful of cells however
// wide the sheet is.
class RowCells
{
public:
    bool isEmpty() const { return m_cells.isEmpty() && !m_beyond; }
    void clear();
    // A filled cell; kept when the window may still read its column.
    void add(int column, const QVariant &value, const ColumnWindow &window);
    // A filled cell right of the window.
    void markBeyond() { m_beyond = true; }
    // Drops the cells the window, having moved left, can no longer read.
    void prune(const ColumnWindow &window);

    // The row as the window reads it, its cells laid out in *buffer from the window's first
    // column on.
    WorkbookReader::Row layout(int number, const ColumnWindow &window,
                               QVector<QVariant> *buffer) const;

private:
    struct Cell
    {
        int column;
        QVariant value;
    };
    QVector<Cell> m_cells;
    bool m_beyond = false;
};

#endif // ROWCELLS_H
