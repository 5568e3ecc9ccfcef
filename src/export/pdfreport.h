#ifndef PDFREPORT_H
#define PDFREPORT_H

#include "glyphcache.h"
#include <QCoreApplication>

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class QAbstractItemModel;
class QPagedPaintDevice;
class QPainter;
class QVariant;
class ReportSummary;
class TableSource;

// The paged table report of a measurement item: a date-time stamp at the top right, a header
// row, ruled reading rows and "page/pages" at the bottom right of every page. With a summary
// (setSummary()) a page about the whole item comes first: its name, first and last time,
// duration, number of readings, the smallest, largest and average value of each quantity, and
// its four charts. It paints
// straight from a table (a snapshot of the readings, or a table model on the model's thread)
// onto any paint device, so it runs without the main window and on a worker thread.
class PdfReport
{
    Q_DECLARE_TR_FUNCTIONS(PdfReport)

public:
    struct Column
    {
        QString title;
        int weight = 1;
    };

    // Page geometry in device units, computed once per report.
    struct Layout
    {
        int width = 0; // W: width of the page area
        int height = 0; // H: height of the page area
        int margin = 0; // m: left and right margin of the table
        int lineHeight = 0; // h0: line height of the painter's initial font
        int rowHeight = 0; // r: height of the header row and of each reading row
        int rowsPerPage = 0; // R
        int rowCount = 0; // N
        int pageCount = 0; // P
        double unit = 0.0; // u: width of one weight unit
        QVector<int> columnWidths; // w(j)
        QVector<int> columnLefts; // x(j)

        int firstRow(int page) const { return page * rowsPerPage; }
        int rowsOnPage(int page) const;
        int tableRight() const { return width - margin; }
        // Top of the header row; the stamp sits in the band above it.
        int headerTop() const { return 3 * rowHeight; }
        int rowTop(int k) const { return (4 + k) * rowHeight; }
        // Fixed on every page, also on a short last page.
        int pageNumberTop() const { return (rowsPerPage + 4) * rowHeight; }
    };

    using Clock = std::function<QDateTime()>;
    // Called after each finished page with the pages done so far and the page count.
    using Progress = std::function<void(int pagesDone, int pageCount)>;
    // Asked after each page; true ends the report unfinished.
    using Stop = std::function<bool()>;

    // The model is read on its own thread only.
    explicit PdfReport(const QAbstractItemModel *model,
                       const QVector<Column> &columns = defaultColumns());
    // The table stays alive while the report is painted.
    explicit PdfReport(const TableSource *table, const QVector<Column> &columns = defaultColumns());
    ~PdfReport();

    // The report's own column titles. They are deliberately not translated.
    static QVector<Column> defaultColumns();

    static Layout computeLayout(int width, int height, int lineHeight, int rowCount,
                                const QVector<int> &weights);
    static QString cellText(const QVariant &value);

    void setClock(const Clock &clock) { m_clock = clock; }
    void setProgress(const Progress &progress) { m_progress = progress; }
    void setStop(const Stop &stop) { m_stop = stop; }
    // Begins the report with the summary page of the item `name`; `charts` are the pictures of
    // its four charts (temperature, humidity, dew point, wet bulb), drawn in that order.
    void setSummary(const QString &name, const QVector<QImage> &charts);
    // True when the last report was ended by the stop.
    bool wasStopped() const { return m_stopped; }

    // The layout the report has on the painter's device with the painter's current font.
    Layout layoutFor(const QPainter &painter) const;

    // Paints every page with an active painter; newPage is called between pages and may
    // refuse, which ends the report with false.
    bool paint(QPainter &painter, const std::function<bool()> &newPage);
    // Paints one page; the painter must already carry the report's font and pen.
    void paintPage(QPainter &painter, const Layout &layout, int page);
    // Paints the summary page in the same frame (stamp and page number) as the table's pages.
    void paintSummaryPage(QPainter &painter, const Layout &layout, const ReportSummary &summary);

    // Begins a painter on the device, paints every page and ends the painter.
    bool write(QPagedPaintDevice *device);
    // Writes an A4 PDF file. The document is complete when this returns true; on false
    // errorString() says why and no partial file replaces the target.
    bool writeFile(const QString &fileName);

    QString errorString() const { return m_errorString; }
    // The layout of the last painted report.
    Layout layout() const { return m_layout; }

private:
    int usedColumns() const;
    // The stamp at the top right and "page/pages" at the bottom right; `page` from 0 among
    // every page of the document.
    void paintFrame(QPainter &painter, const Layout &layout, int page);
    int leadingPages() const { return m_withSummary ? 1 : 0; }
    // Draws a text in its cell, smaller when it would run over the cell's rules.
    void drawCellText(QPainter &painter, const QRect &cell, int flags, const QString &text);
    // Draws a text where a one-line layout aligned by `flags` in the rectangle puts it, in the
    // painter's font, which `glyphs` is for; `width`, when known, is the text's.
    void placeText(QPainter &painter, GlyphCache &glyphs, const QRect &cell, int flags,
                   const QString &text, qreal width = -1);

    std::unique_ptr<TableSource> m_ownSource;
    const TableSource *m_table;
    QVector<Column> m_columns;
    Clock m_clock;
    Progress m_progress;
    Stop m_stop;
    bool m_stopped = false;
    Layout m_layout;
    QString m_errorString;
    GlyphCache m_glyphs;
    QHash<qreal, GlyphCache> m_smallerGlyphs; // by point size
    bool m_withSummary = false;
    QString m_summaryName;
    QVector<QImage> m_charts;
};

#endif // PDFREPORT_H
