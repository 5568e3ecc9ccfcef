#ifndef DMMCHART_H
#define DMMCHART_H

// Placeholder with the public operations of the chart widget; replaced by the real widget.
#include <QDateTime>
#include <QFrame>
#include <QList>
#include <QVariant>

struct ChartPoint
{
    QDateTime time;
    double value = 0.0;
    QVariant tag;
};

class DMMChart : public QFrame
{
    Q_OBJECT
public:
    explicit DMMChart(QWidget *parent = nullptr);
    ~DMMChart() override;

    void addPoint(ChartPoint *point, int line);
    void addPoints(const QList<ChartPoint *> &points, int line);
    void clearPoints();
    bool savePicture(const QString &fileName);
    void setXTitle(const QString &title);
    void setMarginLeft(int px);
    void setMarginBottom(int px);
    void setDecimals(int digits);

private:
    QList<ChartPoint *> m_points;
};

#endif // DMMCHART_H
