#include "rowcells.h"

#include "columnwindow.h"

void RowCells::clear()
{
    m_cells.clear();
    m_beyond = false;
}

void RowCells::add(int column, const QVariant &value, const ColumnWindow &window)
{
    if (!window.mayBeRead(column)) {
        m_beyond = true;
        return;
    }
    for (Cell &cell : m_cells) {
        if (cell.column == column) {
            cell.value = value; // a cell given twice keeps its later value
            return;
        }
    }
    m_cells.append({column, value});
    prune(window);
}

void RowCells::prune(const ColumnWindow &window)
{
    for (int i = m_cells.size() - 1; i >= 0; --i) {
        if (!window.mayBeRead(m_cells.at(i).column)) {
            m_cells.remove(i);
            m_beyond = true;
        }
    }
}

WorkbookReader::Row RowCells::layout(int number, const ColumnWindow &window,
                                     QVector<QVariant> *buffer) const
{
    buffer->resize(window.width());
    for (QVariant &slot : *buffer)
        slot = QVariant();
    WorkbookReader::Row row;
    row.number = number;
    row.filledBeyond = m_beyond;
    for (const Cell &cell : m_cells) {
        if (window.contains(cell.column)) {
            const int at = cell.column - window.first();
            (*buffer)[at] = cell.value;
            row.count = std::max(row.count, at + 1);
        } else if (cell.column >= window.first()) {
            row.filledBeyond = true;
        }
    }
    row.cells = buffer->constData();
    return row;
}
