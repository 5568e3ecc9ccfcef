#include "columnwindow.h"

#include <algorithm>

ColumnWindow::ColumnWindow(int width, int sheetColumns)
    : m_width(width)
    , m_sheetColumns(sheetColumns)
    , m_first(sheetColumns)
    , m_formulas(sheetColumns, 0)
{
}

bool ColumnWindow::noteFilled(int column)
{
    if (column < 0 || column >= m_first)
        return false;
    m_first = column;
    return true;
}

void ColumnWindow::fix(int first)
{
    m_first = std::clamp(first, 0, m_sheetColumns);
}

void ColumnWindow::noteFormulaWithoutResult(int column)
{
    if (column >= 0 && column < m_sheetColumns)
        ++m_formulas[column];
}

int ColumnWindow::formulasWithoutResult() const
{
    int count = 0;
    for (int column = m_first; column < std::min(m_sheetColumns, m_first + m_width); ++column)
        count += m_formulas.at(column);
    return count;
}
