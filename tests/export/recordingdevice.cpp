#include "recordingdevice.h"

RecordingEngine::RecordingEngine()
    : QPaintEngine(QPaintEngine::AllFeatures)
{
}

void RecordingEngine::drawLines(const QLineF *lines, int lineCount)
{
    for (int i = 0; i < lineCount; ++i)
        this->lines.append({page, lines[i]});
}

void RecordingEngine::drawTextItem(const QPointF &p, const QTextItem &textItem)
{
    texts.append({page, p, textItem.width(), textItem.text()});
}

QVector<QLineF> RecordingEngine::linesOn(int page) const
{
    QVector<QLineF> result;
    for (const Line &l : lines) {
        if (l.page == page)
            result << l.line;
    }
    return result;
}

const RecordingEngine::Text *RecordingEngine::find(int page, const QString &text) const
{
    for (const Text &t : texts) {
        if (t.page == page && t.text == text)
            return &t;
    }
    return nullptr;
}

RecordingDevice::RecordingDevice(int width, int height, int dpi)
    : m_width(width)
    , m_height(height)
    , m_dpi(dpi)
{
}

int RecordingDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return m_width;
    case PdmHeight:
        return m_height;
    case PdmWidthMM:
        return qRound(m_width * 25.4 / m_dpi);
    case PdmHeightMM:
        return qRound(m_height * 25.4 / m_dpi);
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_dpi;
    case PdmDepth:
        return 32;
    case PdmNumColors:
        return INT_MAX;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}
