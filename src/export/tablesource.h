#ifndef TABLESOURCE_H
#define TABLESOURCE_H

#include <QString>
#include <QVariant>

class QAbstractItemModel;

// The reading table as the exports read it: rows of six display values, as the window's
// table shows them (an int in column 0, texts in the others: the time, then each value with
// a blank and its unit).
class TableSource
{
public:
    static constexpr int columnCount = 6;

    virtual ~TableSource() = default;
    virtual int rowCount() const = 0;
    virtual QVariant cell(int row, int column) const = 0;
    // The unit the temperatures are shown in ("℃" or "℉"; empty when none is known).
    virtual QString temperatureUnit() const;
};

// A table model read through its display role. Models live on the window's thread: such a
// source is read on that thread only.
class ModelSource : public TableSource
{
public:
    explicit ModelSource(const QAbstractItemModel *model)
        : m_model(model)
    {
    }
    int rowCount() const override;
    QVariant cell(int row, int column) const override;

private:
    const QAbstractItemModel *m_model;
};

#endif // TABLESOURCE_H
