#ifndef PDFREPORT_H
#define PDFREPORT_H

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <functional>

class QAbstractItemModel;
class QPagedPaintDevice;
class QPainter;
class QVariant;

// The paged table report of a measurement item: a date-time stamp at the top right, a header
// row, ruled reading rows and "page/pages" at the bottom right of every page. It paints
// straight from a table model onto any paint device, so it runs without the main window.
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

    explicit PdfReport(const QAbstractItemModel *model,
                       const QVector<Column> &columns = defaultColumns());

    // The report's own column titles. They are deliberately not translated.
    static QVector<Column> defaultColumns();

    static Layout computeLayout(int width, int height, int lineHeight, int rowCount,
                                const QVector<int> &weights);
    static QString cellText(const QVariant &value);

    void setClock(const Clock &clock) { m_clock = clock; }
    void setProgress(const Progress &progress) { m_progress = progress; }

    // The layout the report has on the painter's device with the painter's current font.
    Layout layoutFor(const QPainter &painter) const;

    // Paints every page with an active painter; newPage is called between pages and may
    // refuse, which ends the report with false.
    bool paint(QPainter &painter, const std::function<bool()> &newPage);
    // Paints one page; the painter must already carry the report's font and pen.
    void paintPage(QPainter &painter, const Layout &layout, int page) const;

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

    const QAbstractItemModel *m_model;
    QVector<Column> m_columns;
    Clock m_clock;
    Progress m_progress;
    Layout m_layout;
    QString m_errorString;
};

#endif // PDFREPORT_H
