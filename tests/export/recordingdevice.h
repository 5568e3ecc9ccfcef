#ifndef RECORDINGDEVICE_H
#define RECORDINGDEVICE_H

#include <QLineF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPointF>
#include <QString>
#include <QVector>

// A paint device that keeps the lines and texts painted on it, page by page, so tests can
// check where a report put things without rasterising.
class RecordingEngine : public QPaintEngine
{
public:
    struct Text
    {
        int page;
        QPointF baseline; // left end of the text's baseline
        qreal width;
        QString text;
    };
    struct Line
    {
        int page;
        QLineF line;
    };

    RecordingEngine();

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override { }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override { }
    void drawLines(const QLineF *lines, int lineCount) override;
    void drawTextItem(const QPointF &p, const QTextItem &textItem) override;
    Type type() const override { return User; }

    int page = 0;
    QVector<Text> texts;
    QVector<Line> lines;

    QVector<QLineF> linesOn(int page) const;
    const Text *find(int page, const QString &text) const;
};

class RecordingDevice : public QPaintDevice
{
public:
    RecordingDevice(int width, int height, int dpi);
    QPaintEngine *paintEngine() const override { return &m_engine; }
    RecordingEngine &engine() { return m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    int m_width;
    int m_height;
    int m_dpi;
    mutable RecordingEngine m_engine;
};

#endif // RECORDINGDEVICE_H
