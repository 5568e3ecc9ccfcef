#include "glyphcache.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Texts kept before the cache starts over (a report of only distinct texts would grow it
// without end).
constexpr int maxShaped = 1 << 14;
const QString composedCharacters = QStringLiteral("0123456789-:. /");

} // namespace

void GlyphCache::reset(const QPainter &painter, bool asGlyphs)
{
    m_font = painter.font();
    m_device = painter.device();
    m_metrics = QFontMetricsF(m_font, const_cast<QPaintDevice *>(m_device));
    m_averageCharWidth = m_metrics.averageCharWidth();
    m_asGlyphs = asGlyphs;
    m_shaped.clear();
    std::fill(std::begin(m_has), std::end(m_has), false);
    m_raw = QRawFont();

    // The characters of numbers and times, laid out together once: when the font sets them
    // in one run, without ligatures and with the advances it gives each one alone, a text of
    // them is the sum of its characters.
    const Shaped &all = shaped(composedCharacters);
    if (all.runs.size() != 1)
        return;
    const QGlyphRun &run = all.runs.first();
    const QVector<quint32> glyphs = run.glyphIndexes();
    if (glyphs.size() != composedCharacters.size())
        return;
    QRawFont raw = run.rawFont();
    const QVector<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
    const QVector<QPointF> positions = run.positions();
    for (int i = 0; i < glyphs.size(); ++i) {
        if (i + 1 < glyphs.size()
            && std::abs(positions.at(i).x() + advances.at(i).x() - positions.at(i + 1).x()) > 0.01)
            return; // kerned or otherwise moved: not put together
    }
    for (int i = 0; i < glyphs.size(); ++i) {
        const ushort c = composedCharacters.at(i).unicode();
        m_has[c] = true;
        m_glyph[c] = glyphs.at(i);
        m_advance[c] = advances.at(i).x();
    }
    m_raw = raw;
}

bool GlyphCache::composable(const QString &text) const
{
    if (!m_raw.isValid() || text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c.unicode() >= tableSize || !m_has[c.unicode()])
            return false;
    }
    return true;
}

QGlyphRun GlyphCache::compose(const QString &text, qreal *width) const
{
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    qreal x = 0;
    for (QChar c : text) {
        glyphs.append(m_glyph[c.unicode()]);
        positions.append(QPointF(x, 0));
        x += m_advance[c.unicode()];
    }
    *width = x;
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

const GlyphCache::Shaped &GlyphCache::shaped(const QString &text)
{
    const auto found = m_shaped.constFind(text);
    if (found != m_shaped.constEnd())
        return found.value();
    if (m_shaped.size() >= maxShaped)
        m_shaped.clear();
    Shaped shaped;
    QTextLayout layout(text, m_font, const_cast<QPaintDevice *>(m_device));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setNumColumns(text.size());
    layout.endLayout();
    if (line.isValid()) {
        shaped.width = line.naturalTextWidth();
        const QPointF baseline(0, line.y() + line.ascent());
        for (QGlyphRun run : layout.glyphRuns()) {
            QVector<QPointF> positions = run.positions();
            for (QPointF &p : positions)
                p -= baseline;
            run.setPositions(positions);
            shaped.runs.append(run);
        }
    }
    return *m_shaped.insert(text, shaped);
}

qreal GlyphCache::width(const QString &text)
{
    if (composable(text)) {
        qreal x = 0;
        for (QChar c : text)
            x += m_advance[c.unicode()];
        return x;
    }
    return shaped(text).width;
}

void GlyphCache::draw(QPainter &painter, const QPointF &origin, const QString &text)
{
    if (!m_asGlyphs) {
        painter.drawText(origin, text);
        return;
    }
    if (composable(text)) {
        qreal width = 0;
        painter.drawGlyphRun(origin, compose(text, &width));
        return;
    }
    for (const QGlyphRun &run : shaped(text).runs)
        painter.drawGlyphRun(origin, run);
}
