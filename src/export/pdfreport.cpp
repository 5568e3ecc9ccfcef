#include "pdfreport.h"

#include "meterlog.h"
#include "reportsummary.h"
#include "safefile.h"
#include "tablesource.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {
const QString stampFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// Smaller sizes of texts too wide for their cells, each with its glyphs.
constexpr int maxSmallerSizes = 8;
} // namespace

int PdfReport::Layout::rowsOnPage(int page) const
{
    if (page < 0 || page >= pageCount)
        return 0;
    return std::max(0, std::min(rowsPerPage, rowCount - firstRow(page)));
}

PdfReport::PdfReport(const QAbstractItemModel *model, const QVector<Column> &columns)
    : m_ownSource(std::make_unique<ModelSource>(model))
    , m_table(m_ownSource.get())
    , m_columns(columns)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
}

PdfReport::PdfReport(const TableSource *table, const QVector<Column> &columns)
    : m_table(table)
    , m_columns(columns)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
}

PdfReport::~PdfReport() = default;

QVector<PdfReport::Column> PdfReport::defaultColumns()
{
    return {{QStringLiteral("No."), 2},         {QStringLiteral("Time"), 3},
            {QStringLiteral("Temperature"), 2}, {QStringLiteral("Humidity"), 2},
            {QStringLiteral("Dew Point"), 2},   {QStringLiteral("Wet Bulb"), 2}};
}

PdfReport::Layout PdfReport::computeLayout(int width, int height, int lineHeight, int rowCount,
                                           const QVector<int> &weights)
{
    Layout l;
    l.width = width;
    l.height = height;
    l.margin = width / 20;
    l.lineHeight = lineHeight;
    l.rowHeight = std::max(1, 2 * lineHeight);
    // At least one row per page, so that a tiny page cannot divide by zero or loop forever.
    l.rowsPerPage = std::max(1, (height - 5 * l.rowHeight) / l.rowHeight);
    l.rowCount = std::max(0, rowCount);
    // An empty table still gives one page with its header, so the document is valid.
    l.pageCount = std::max(1, (l.rowCount + l.rowsPerPage - 1) / l.rowsPerPage);

    int weightSum = 0;
    for (int weight : weights)
        weightSum += weight;
    l.unit = weightSum > 0 ? double(width - 2 * l.margin) / weightSum : 0.0;

    int left = l.margin;
    for (int weight : weights) {
        const int w = int(weight * l.unit);
        l.columnLefts << left;
        l.columnWidths << w;
        left += w;
    }
    return l;
}

QString PdfReport::cellText(const QVariant &value)
{
    switch (int(value.type())) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QString::number(value.toInt());
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDateTime:
        return value.toDateTime().toString(stampFormat);
    default:
        return value.toString();
    }
}

void PdfReport::setSummary(const QString &name, const QVector<QImage> &charts)
{
    m_withSummary = true;
    m_summaryName = name;
    m_charts = charts;
}

int PdfReport::usedColumns() const
{
    return std::min(TableSource::columnCount, int(m_columns.size()));
}

// A text wider than its cell (the time column is narrow for a 12-point time in a wide system
// font) is set in a smaller size so that it stays between its rules instead of running over
// them. Otherwise the text is placed by its width and the font's ascent and descent, as a
// one-line layout in the cell would place it, and drawn at its baseline.
void PdfReport::drawCellText(QPainter &painter, const QRect &cell, int flags, const QString &text)
{
    const qreal available = cell.width() - m_glyphs.averageCharWidth();
    const qreal needed = m_glyphs.width(text);
    if (needed <= available || available <= 0) {
        placeText(painter, m_glyphs, cell, flags, text, needed);
        return;
    }
    const QFont font = painter.font();
    QFont smaller = font;
    smaller.setPointSizeF(font.pointSizeF() * available / needed);
    painter.setFont(smaller);
    // Every time of a table is as wide as the next: they share one smaller size.
    auto found = m_smallerGlyphs.find(smaller.pointSizeF());
    if (found == m_smallerGlyphs.end()) {
        if (m_smallerGlyphs.size() >= maxSmallerSizes)
            m_smallerGlyphs.clear();
        found = m_smallerGlyphs.insert(smaller.pointSizeF(), GlyphCache());
        found->reset(painter, m_glyphs.asGlyphs());
    }
    placeText(painter, *found, cell, flags, text);
    painter.setFont(font);
}

void PdfReport::placeText(QPainter &painter, GlyphCache &glyphs, const QRect &cell, int flags,
                          const QString &text, qreal width)
{
    const qreal needed = width >= 0 ? width : glyphs.width(text);
    const qreal lineHeight = glyphs.ascent() + glyphs.descent();
    qreal x = cell.x();
    if (flags & Qt::AlignHCenter)
        x += (cell.width() - needed) / 2;
    else if (flags & Qt::AlignRight)
        x += cell.width() - needed;
    qreal top = cell.y();
    if (flags & Qt::AlignBottom)
        top += cell.height() - lineHeight;
    else if (flags & Qt::AlignVCenter)
        top += (cell.height() - lineHeight) / 2;
    glyphs.draw(painter, QPointF(x, top + glyphs.ascent()), text);
}

PdfReport::Layout PdfReport::layoutFor(const QPainter &painter) const
{
    QVector<int> weights;
    for (int j = 0; j < usedColumns(); ++j)
        weights << m_columns.at(j).weight;
    const QPaintDevice *device = painter.device();
    return computeLayout(device->width(), device->height(), painter.fontMetrics().height(),
                         m_table ? m_table->rowCount() : 0, weights);
}

bool PdfReport::paint(QPainter &painter, const std::function<bool()> &newPage)
{
    // The row height follows the device's default font, measured before the text font is set.
    m_layout = layoutFor(painter);

    QFont font = painter.font();
    font.setPointSize(12);
    painter.setFont(font);
    QPen pen = painter.pen();
    pen.setWidth(2);
    painter.setPen(pen);
    // A PDF takes the texts as glyphs; other devices (a printer, a recording of the drawing)
    // are given the texts.
    m_glyphs.reset(painter, painter.paintEngine()->type() == QPaintEngine::Pdf);
    m_smallerGlyphs.clear();
    m_stopped = false;

    qCDebug(lcMeter) << "PDF report:" << m_layout.rowCount << "rows on" << m_layout.pageCount
                     << "pages of" << m_layout.rowsPerPage;
    if (m_withSummary) {
        paintSummaryPage(painter, m_layout, ReportSummary::of(*m_table, m_summaryName));
        if (m_stop && m_stop()) {
            m_stopped = true;
            return false;
        }
        if (newPage && !newPage())
            return false;
    }
    for (int page = 0; page < m_layout.pageCount; ++page) {
        paintPage(painter, m_layout, page);
        if (m_progress)
            m_progress(page + 1, m_layout.pageCount);
        if (m_stop && m_stop()) {
            m_stopped = true;
            return false;
        }
        if (page + 1 < m_layout.pageCount && newPage && !newPage())
            return false;
    }
    return true;
}

void PdfReport::paintFrame(QPainter &painter, const Layout &l, int page)
{
    const int r = l.rowHeight;
    const int right = l.tableRight();
    // The stamp is taken for each page, so a long report shows when each page was drawn.
    const QString stamp = m_clock ? m_clock().toString(stampFormat) : QString();
    const int stampWidth = int(std::ceil(m_glyphs.width(stamp)));
    placeText(painter, m_glyphs, QRect(right - stampWidth, 0, stampWidth, 3 * r), Qt::AlignBottom,
              stamp);

    const QString number = QStringLiteral("%1/%2").arg(page + 1).arg(l.pageCount + leadingPages());
    const int numberWidth = int(std::ceil(m_glyphs.width(number)));
    placeText(painter, m_glyphs, QRect(right - numberWidth, l.pageNumberTop(), numberWidth, r),
              Qt::AlignRight | Qt::AlignBottom, number);
}

void PdfReport::paintSummaryPage(QPainter &painter, const Layout &l, const ReportSummary &summary)
{
    const int r = l.rowHeight;
    const int left = l.margin;
    const int right = l.tableRight();
    const int width = right - left;
    paintFrame(painter, l, 0);

    // The item's name in the band beside the stamp, larger and bold.
    const QFont font = painter.font();
    QFont title = font;
    title.setPointSizeF(font.pointSizeF() * 1.5);
    title.setBold(true);
    painter.setFont(title);
    const QString name = summary.name.isEmpty() ? tr("Summary") : summary.name;
    const int titleWidth = width * 2 / 3;
    painter.drawText(QRect(left, 0, titleWidth, 3 * r), Qt::AlignLeft | Qt::AlignBottom,
                     painter.fontMetrics().elidedText(name, Qt::ElideRight, titleWidth));
    painter.setFont(font);

    // The facts, a label and a value on each line.
    const QStringList labels = summary.factLabels();
    const QStringList values = summary.factValues();
    const int valueLeft = left + width / 4;
    for (int i = 0; i < labels.size(); ++i) {
        const int top = 4 * r + i * r;
        painter.drawText(QRect(left, top, valueLeft - left, r), Qt::AlignLeft | Qt::AlignVCenter,
                         labels.at(i));
        painter.drawText(
            QRect(valueLeft, top, right - valueLeft, r), Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(values.at(i), Qt::ElideRight, right - valueLeft));
    }

    // The values, ruled like the reading table: a title column and three of numbers.
    const int tableTop = (5 + labels.size()) * r;
    const int rows = 5;
    const QVector<int> lefts {left, left + width * 3 / 9, left + width * 5 / 9,
                              left + width * 7 / 9};
    QVector<QLine> rules;
    for (int k = 0; k <= rows; ++k)
        rules << QLine(left, tableTop + k * r, right, tableTop + k * r);
    for (int x : lefts)
        rules << QLine(x, tableTop, x, tableTop + rows * r);
    rules << QLine(right, tableTop, right, tableTop + rows * r);
    painter.drawLines(rules);
    for (int k = 0; k < rows; ++k) {
        const QStringList cells = k == 0 ? ReportSummary::valueHeaders() : summary.valueRow(k - 1);
        for (int j = 0; j < cells.size(); ++j) {
            const int cellRight = j + 1 < lefts.size() ? lefts.at(j + 1) : right;
            painter.drawText(QRect(lefts.at(j), tableTop + k * r, cellRight - lefts.at(j), r),
                             Qt::AlignCenter, cells.at(j));
        }
    }

    // The four charts in two rows of two below, each as large as its cell allows.
    const int chartsTop = tableTop + (rows + 1) * r;
    const int chartsBottom = l.pageNumberTop() - r / 2;
    const int gap = r / 2;
    const int cellWidth = (width - gap) / 2;
    const int cellHeight = (chartsBottom - chartsTop - gap) / 2;
    if (cellWidth <= 0 || cellHeight <= 0)
        return;
    for (int i = 0; i < std::min(4, int(m_charts.size())); ++i) {
        const QImage &chart = m_charts.at(i);
        if (chart.isNull())
            continue;
        const QRect cell(left + (i % 2) * (cellWidth + gap),
                         chartsTop + (i / 2) * (cellHeight + gap), cellWidth, cellHeight);
        // The pictures carry no title of their own: the quantity and unit above each.
        painter.drawText(QRect(cell.x(), cell.y(), cell.width(), r), Qt::AlignCenter,
                         summary.valueRow(i).constFirst());
        const QRect picture = cell.adjusted(0, r, 0, 0);
        const QSize size = chart.size().scaled(picture.size(), Qt::KeepAspectRatio);
        const QRect target(picture.x() + (picture.width() - size.width()) / 2, picture.y(),
                           size.width(), size.height());
        painter.drawImage(target, chart);
        painter.drawRect(target);
    }
}

void PdfReport::paintPage(QPainter &painter, const Layout &l, int page)
{
    const int r = l.rowHeight;
    const int right = l.tableRight();
    const int columns = l.columnLefts.size();
    const int n = l.rowsOnPage(page);

    paintFrame(painter, l, page + leadingPages());

    painter.drawLine(l.margin, l.headerTop(), right, l.headerTop());
    painter.drawLine(l.margin, l.rowTop(0), right, l.rowTop(0));

    const int tableBottom = l.rowTop(n);
    QVector<QLine> rules;
    rules.reserve(columns + 1);
    for (int j = 0; j < columns; ++j) {
        const int x = l.columnLefts.at(j);
        rules << QLine(x, l.headerTop(), x, tableBottom);
        drawCellText(painter, QRect(x, l.headerTop(), l.columnWidths.at(j), r), Qt::AlignCenter,
                     m_columns.at(j).title);
    }
    rules << QLine(right, l.headerTop(), right, tableBottom);
    painter.drawLines(rules);

    rules.clear();
    const int first = l.firstRow(page);
    for (int k = 0; k < n; ++k) {
        const int y = l.rowTop(k);
        for (int j = 0; j < columns; ++j) {
            const QString text = cellText(m_table->cell(first + k, j));
            drawCellText(painter, QRect(l.columnLefts.at(j), y, l.columnWidths.at(j), r),
                         Qt::AlignHCenter | Qt::AlignBottom, text);
        }
        // One rule across the whole table under every row.
        rules << QLine(l.margin, y + r, right, y + r);
    }
    painter.drawLines(rules);
}

bool PdfReport::write(QPagedPaintDevice *device)
{
    QPainter painter;
    if (!painter.begin(device)) {
        m_errorString = tr("The report could not be started.");
        return false;
    }
    const bool painted = paint(painter, [device] { return device->newPage(); });
    // end() finishes the document; it must run even after a refused page.
    const bool ended = painter.end();
    if (!painted || !ended) {
        m_errorString = tr("The report could not be completed.");
        return false;
    }
    return true;
}

bool PdfReport::writeFile(const QString &fileName)
{
    m_errorString.clear();
    // Written beside the target, checked, and renamed over it at the end, so a failed report
    // neither leaves a broken file nor destroys an earlier one.
    SafeFile file(fileName);
    if (!file.open()) {
        m_errorString = file.errorString();
        qCWarning(lcMeter) << "PDF report: cannot open" << fileName << m_errorString;
        return false;
    }

    bool written;
    {
        QPdfWriter writer(file.device());
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setCreator(QCoreApplication::applicationName());
        written = write(&writer);
    }
    if (!written) {
        file.discard();
        qCWarning(lcMeter) << "PDF report: drawing failed for" << fileName << m_errorString;
        return false;
    }
    // A document is complete with its trailer.
    const auto complete = [](const QString &path, QString *) {
        QFile pdf(path);
        if (!pdf.open(QIODevice::ReadOnly) || pdf.size() < 16 || !pdf.seek(pdf.size() - 16))
            return false;
        return pdf.read(16).trimmed().endsWith("%%EOF");
    };
    if (!file.commit(complete)) {
        m_errorString = file.errorString();
        qCWarning(lcMeter) << "PDF report: cannot complete" << fileName << m_errorString;
        return false;
    }
    return true;
}
