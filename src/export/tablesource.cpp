#include "tablesource.h"

#include <QAbstractItemModel>

QString TableSource::temperatureUnit() const
{
    // The sign after the last blank of the first temperature shown.
    if (rowCount() == 0)
        return QString();
    const QString text = cell(0, 2).toString().trimmed();
    const int blank = text.lastIndexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : text.mid(blank + 1);
}

int ModelSource::rowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

QVariant ModelSource::cell(int row, int column) const
{
    return m_model ? m_model->data(m_model->index(row, column), Qt::DisplayRole) : QVariant();
}
