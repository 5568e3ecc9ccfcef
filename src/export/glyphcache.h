#ifndef GLYPHCACHE_H
#define GLYPHCACHE_H

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QString>
#include <QVector>

class QPainter;

// Measures and draws the short texts of a report in one font, fast. A report of a million
// readings draws some six million texts; laying each one out anew is what it would spend its
// time on. Here each distinct text is laid out once and kept as glyphs; texts made only of
// digits and separators (numbers and times, nearly all distinct) are put together from the
// glyphs of their characters, as long as the font sets those characters side by side.
class GlyphCache
{
public:
    // For the painter's current font on its device. With `asGlyphs` false every text is drawn
    // through QPainter::drawText() (for paint devices that record the texts themselves).
    void reset(const QPainter &painter, bool asGlyphs);

    bool asGlyphs() const { return m_asGlyphs; }
    qreal width(const QString &text);
    qreal ascent() const { return m_metrics.ascent(); }
    qreal descent() const { return m_metrics.descent(); }
    qreal averageCharWidth() const { return m_averageCharWidth; }

    // Draws the text with the left end of its baseline at `origin`.
    void draw(QPainter &painter, const QPointF &origin, const QString &text);

private:
    struct Shaped
    {
        QVector<QGlyphRun> runs; // positions relative to the left end of the baseline
        qreal width = 0;
    };
    bool composable(const QString &text) const;
    QGlyphRun compose(const QString &text, qreal *width) const;
    const Shaped &shaped(const QString &text);

    QFont m_font;
    const QPaintDevice *m_device = nullptr;
    QFontMetricsF m_metrics {QFont()};
    qreal m_averageCharWidth = 0;
    bool m_asGlyphs = false;
    // The characters that may be put together, their glyphs and advances.
    static constexpr int tableSize = 128;
    QRawFont m_raw;
    bool m_has[tableSize] = {};
    quint32 m_glyph[tableSize] = {};
    qreal m_advance[tableSize] = {};
    QHash<QString, Shaped> m_shaped;
};

#endif // GLYPHCACHE_H
