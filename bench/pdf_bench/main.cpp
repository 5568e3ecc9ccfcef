// Times the PDF report for growing tables: seconds (median of the runs), pages, file size.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen ./pdf_bench [-o sample.pdf] [rows...]
// With -o the report of the first size is also kept in sample.pdf for a look.
#include "pdfreport.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

// Six columns with the texts the reading table gives, made on demand like the real model.
class ReadingTexts : public QAbstractTableModel
{
public:
    explicit ReadingTexts(int rows)
        : m_rows(rows)
        , m_start(QDate(2024, 3, 5), QTime(14, 7, 9))
    {
    }
    int rowCount(const QModelIndex & = QModelIndex()) const override { return m_rows; }
    int columnCount(const QModelIndex & = QModelIndex()) const override { return 6; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return QVariant();
        const int row = index.row();
        switch (index.column()) {
        case 0:
            return row + 1;
        case 1:
            return m_start.addSecs(row).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        case 2:
            return QStringLiteral("%1 %2").arg(20.0 + row % 100 / 10.0, 0, 'f', 1).arg("℃");
        case 3:
            return QStringLiteral("%1 %2").arg(40.0 + row % 300 / 10.0, 0, 'f', 1).arg("%RH");
        case 4:
            return QStringLiteral("%1 %2").arg(10.0 + row % 70 / 10.0, 0, 'f', 1).arg("℃");
        default:
            return QStringLiteral("%1 %2").arg(14.0 + row % 60 / 10.0, 0, 'f', 1).arg("℃");
        }
    }

private:
    int m_rows;
    QDateTime m_start;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);

    QList<int> sizes;
    QString keep;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("-o") && i + 1 < args.size())
            keep = args.at(++i);
        else
            sizes << args.at(i).toInt();
    }
    if (sizes.isEmpty())
        sizes = {1000, 10000, 100000};

    QTemporaryDir dir;
    out << "rows\truns\tmedian s\tmin s\tpages\tbytes\n";
    for (int rows : sizes) {
        ReadingTexts model(rows);
        // Large tables take long; fewer runs keep the whole benchmark in minutes.
        const int runs = rows >= 100000 ? 3 : 5;
        QVector<double> seconds;
        int pages = 0;
        qint64 bytes = 0;
        for (int run = 0; run < runs; ++run) {
            const QString fileName = dir.filePath(QStringLiteral("bench-%1.pdf").arg(rows));
            PdfReport report(&model);
            QElapsedTimer timer;
            timer.start();
            if (!report.writeFile(fileName)) {
                out << "failed: " << report.errorString() << "\n";
                return 1;
            }
            seconds << timer.nsecsElapsed() / 1e9;
            pages = report.layout().pageCount;
            bytes = QFileInfo(fileName).size();
        }
        std::sort(seconds.begin(), seconds.end());
        out << rows << "\t" << runs << "\t" << QString::number(seconds.at(runs / 2), 'f', 3) << "\t"
            << QString::number(seconds.first(), 'f', 3) << "\t" << pages << "\t" << bytes << "\n";
        out.flush();
        if (!keep.isEmpty()) {
            PdfReport report(&model);
            if (!report.writeFile(keep))
                out << "cannot keep " << keep << ": " << report.errorString() << "\n";
            keep.clear();
        }
    }
    return 0;
}
