#ifndef COLUMNWINDOW_H
#define COLUMNWINDOW_H

#include <QVector>

// The columns of a worksheet that are read: a few of them from the used range's first column.
// That column is the leftmost filled one in the whole sheet, so while a sheet is being read
// the window starts at the leftmost filled column seen so far and may still move left.
class ColumnWindow
{
public:
    // sheetColumns: how many columns the format allows (256 for .xls, 16,384 for .xlsx).
    ColumnWindow(int width, int sheetColumns);

    int first() const { return m_first; } // sheetColumns while no cell is filled
    int width() const { return m_width; }
    bool contains(int column) const { return column >= m_first && column - m_first < m_width; }
    // Whether a cell may still end up among the columns read: inside the window or left of it.
    bool mayBeRead(int column) const { return column - m_first < m_width; }

    // Notes a filled cell; true when the window moved left because of it.
    bool noteFilled(int column);
    // Starts the window at a column known to be the leftmost one (a second reading).
    void fix(int first);

    // Formula cells without a saved result, counted by column; the total covers the window
    // as it stands.
    void noteFormulaWithoutResult(int column);
    int formulasWithoutResult() const;

private:
    int m_width;
    int m_sheetColumns;
    int m_first;
    QVector<int> m_formulas;
};

#endif // COLUMNWINDOW_H
