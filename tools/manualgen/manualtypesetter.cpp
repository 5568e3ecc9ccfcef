#include "manualtypesetter.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextLayout>
#include <QUrl>

#include <cmath>

namespace {

const char contentsMarker[] = "<!--contents-->";
const int resolution = 600; // dots per inch of the PDF's coordinate system

double mmToDots(double mm)
{
    return mm / 25.4 * resolution;
}

// Absolute vertical extent of one line of a block, in document coordinates.
QRectF lineRect(QTextDocument *doc, const QTextBlock &block, int line)
{
    const QRectF blockRect = doc->documentLayout()->blockBoundingRect(block);
    const QTextLayout *layout = block.layout();
    if (!layout || layout->lineCount() == 0)
        return QRectF(blockRect.topLeft(), QSizeF(blockRect.width(), 0));
    const QTextLine l = layout->lineAt(line < 0 ? layout->lineCount() - 1 : line);
    return QRectF(blockRect.left(), blockRect.top() + l.y(), blockRect.width(), l.height());
}

// The document layout works incrementally and, after an edit, may leave blocks it had not
// reached yet without lines; laying the whole document out again keeps every block placed.
void relayout(QTextDocument *doc)
{
    doc->markContentsDirty(0, doc->characterCount());
    doc->documentLayout()->documentSize();
}

// Latin text in DejaVu Sans, Chinese in a simplified-Chinese face rather than whatever CJK
// face the system would pick first (often a Japanese one, with other glyph shapes).
QFont textFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Droid Sans Fallback")});
    return font;
}

int pageOf(double y, double pageHeight)
{
    return int(std::floor(y / pageHeight));
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

ManualTypesetter::ManualTypesetter() = default;
ManualTypesetter::~ManualTypesetter() = default;

bool ManualTypesetter::load(const QString &htmlPath)
{
    QFile file(htmlPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(htmlPath, file.errorString());
        return false;
    }
    m_sourcePath = QFileInfo(htmlPath).absoluteFilePath();
    m_html = QString::fromUtf8(file.readAll());

    const QRegularExpression titleRe(QStringLiteral("<title>(.*?)</title>"),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch title = titleRe.match(m_html);
    m_title = title.hasMatch() ? title.captured(1).simplified() : QFileInfo(htmlPath).baseName();
    m_pageLabel = metaContent(QStringLiteral("page-label"), QStringLiteral("%1 / %2"));

    // Every picture must be there and readable before anything is laid out.
    const QDir base = QFileInfo(m_sourcePath).absoluteDir();
    const QRegularExpression imgRe(QStringLiteral("<img[^>]*\\ssrc=\"([^\"]+)\""));
    auto it = imgRe.globalMatch(m_html);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (QImage(base.filePath(name)).isNull()) {
            m_error = QStringLiteral("%1: picture %2 is missing or unreadable")
                          .arg(htmlPath, base.filePath(name));
            return false;
        }
        if (!m_imageNames.contains(name))
            m_imageNames << name;
    }
    return true;
}

QString ManualTypesetter::metaContent(const QString &name, const QString &fallback) const
{
    const QRegularExpression re(QStringLiteral("<meta\\s+name=\"%1\"\\s+content=\"([^\"]*)\"")
                                    .arg(QRegularExpression::escape(name)));
    const QRegularExpressionMatch m = re.match(m_html);
    return m.hasMatch() ? m.captured(1) : fallback;
}

QString ManualTypesetter::withContents(const QList<Heading> &headings, bool withPages) const
{
    QString toc = QStringLiteral(
        "<table class=\"contents\" width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">");
    for (const Heading &h : headings) {
        if (h.level != 1)
            continue;
        // Before the pages are known a placeholder of the same shape keeps the layout stable.
        const QString page = withPages ? QString::number(h.page + 1) : QStringLiteral("00");
        toc += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td></tr>")
                   .arg(escaped(h.text), page);
    }
    toc += QStringLiteral("</table>");
    QString html = m_html;
    html.replace(QLatin1String(contentsMarker), toc);
    return html;
}

void ManualTypesetter::numberHeadings(QTextDocument *doc) const
{
    int chapter = 0;
    int section = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 1 || level > 2 || b.text().trimmed().isEmpty())
            continue;
        QString number;
        if (level == 1) {
            ++chapter;
            section = 0;
            number = QString::number(chapter);
        } else {
            ++section;
            number = QStringLiteral("%1.%2").arg(chapter).arg(section);
        }
        QTextCursor cursor(b);
        const QTextCharFormat format = b.begin().fragment().charFormat();
        cursor.insertText(number + QStringLiteral("\u2003"), format);
    }
}

void ManualTypesetter::keepHeadingsWithText(QTextDocument *doc, double pageHeight) const
{
    // Each move shifts everything after it, so the scan starts again after every move; a
    // manual has a few dozen headings, and every heading moves at most once.
    for (int round = 0; round < 200; ++round) {
        bool moved = false;
        for (QTextBlock b = doc->begin(); b.isValid() && !moved; b = b.next()) {
            const QTextBlockFormat format = b.blockFormat();
            if (format.headingLevel() == 0
                || (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
                continue;
            QTextBlock next = b.next();
            while (next.isValid() && next.text().trimmed().isEmpty()
                   && next.blockFormat().headingLevel() == 0 && next.length() <= 1)
                next = next.next();
            if (!next.isValid())
                continue;
            const int headingPage = pageOf(lineRect(doc, b, 0).top(), pageHeight);
            // The heading and at least the first line it introduces share a page.
            const QRectF first = lineRect(doc, next, 0);
            const int textPage = pageOf(first.bottom() - 1.0, pageHeight);
            if (textPage != headingPage) {
                QTextBlockFormat breakBefore;
                breakBefore.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                QTextCursor(b).mergeBlockFormat(breakBefore);
                relayout(doc);
                moved = true;
            }
        }
        if (!moved)
            return;
    }
}

std::unique_ptr<QTextDocument> ManualTypesetter::typeset(const QString &html,
                                                         QPagedPaintDevice *device,
                                                         QList<Heading> *headings, int *pages) const
{
    auto doc = std::make_unique<QTextDocument>();
    const QDir base = QFileInfo(m_sourcePath).absoluteDir();
    for (const QString &name : m_imageNames)
        doc->addResource(QTextDocument::ImageResource, QUrl(name), QImage(base.filePath(name)));
    QFont font = textFont();
    font.setPointSizeF(10.0);
    doc->setDefaultFont(font);
    doc->documentLayout()->setPaintDevice(device);
    const QSizeF body(mmToDots(m_pageMm.width() - m_marginsMm.left() - m_marginsMm.right()),
                      mmToDots(m_pageMm.height() - m_marginsMm.top() - m_marginsMm.bottom()));
    doc->setPageSize(body);
    doc->setDocumentMargin(0);
    doc->setHtml(html);
    numberHeadings(doc.get());
    relayout(doc.get());
    keepHeadingsWithText(doc.get(), body.height());

    headings->clear();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level < 1 || level > 2 || b.text().trimmed().isEmpty())
            continue;
        Heading h;
        h.level = level;
        h.text = b.text().simplified();
        h.page = pageOf(lineRect(doc.get(), b, 0).top(), body.height());
        headings->append(h);
    }
    *pages = doc->pageCount();
    return doc;
}

void ManualTypesetter::paintPage(QTextDocument *doc, QPainter &painter, int page,
                                 const QString &chapter) const
{
    const double pageHeight = doc->pageSize().height();
    const double bodyWidth = doc->pageSize().width();
    const double left = mmToDots(m_marginsMm.left());
    const double top = mmToDots(m_marginsMm.top());
    const double pageWidth = mmToDots(m_pageMm.width());
    const double pageBottom = mmToDots(m_pageMm.height());

    painter.save();
    painter.translate(left, top - page * pageHeight);
    // A hair short of the page's end: a picture that starts the next page must not bleed a
    // row of smoothed pixels onto this one.
    const QRectF clip(0, page * pageHeight, bodyWidth, pageHeight - 3);
    painter.setClipRect(clip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette.setColor(QPalette::Text, Qt::black);
    doc->documentLayout()->draw(&painter, context);
    painter.restore();

    painter.save();
    QFont small = textFont();
    small.setPointSizeF(8.0);
    painter.setFont(small);
    const QPen rule(QColor(150, 150, 150), mmToDots(0.2));
    const QColor grey(90, 90, 90);

    // The first page is the title page: no running header there.
    if (page > 0) {
        const QRectF header(left, mmToDots(10.0), pageWidth - 2 * left, mmToDots(6.0));
        painter.setPen(grey);
        painter.drawText(header, Qt::AlignLeft | Qt::AlignBottom, m_title);
        painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, chapter);
        painter.setPen(rule);
        painter.drawLine(QPointF(left, mmToDots(17.0)), QPointF(pageWidth - left, mmToDots(17.0)));
    }
    const double footerRuleY = pageBottom - mmToDots(16.0);
    painter.setPen(rule);
    painter.drawLine(QPointF(left, footerRuleY), QPointF(pageWidth - left, footerRuleY));
    painter.setPen(grey);
    const QRectF footer(left, footerRuleY + mmToDots(1.5), pageWidth - 2 * left, mmToDots(6.0));
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignTop,
                     m_pageLabel.arg(page + 1).arg(m_pageCount));
    painter.restore();
}

bool ManualTypesetter::writePdf(const QString &pdfPath)
{
    const QString partial = pdfPath + QStringLiteral(".part");
    QFile::remove(partial);
    {
        QPdfWriter writer(partial);
        writer.setResolution(resolution);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(m_title);
        writer.setCreator(QStringLiteral("manualgen"));

        // The contents list needs the page of every chapter, and the chapters' pages must not
        // move once the list is filled in: lay out with placeholders, then with the numbers,
        // and check that nothing moved.
        QList<Heading> probe;
        int pages = 0;
        typeset(withContents({}, false), &writer, &probe, &pages);
        typeset(withContents(probe, false), &writer, &m_headings, &pages);
        std::unique_ptr<QTextDocument> doc;
        for (int attempt = 0; attempt < 3; ++attempt) {
            QList<Heading> settled;
            doc = typeset(withContents(m_headings, true), &writer, &settled, &pages);
            bool same = settled.size() == m_headings.size();
            for (int i = 0; same && i < settled.size(); ++i)
                same = settled[i].page == m_headings[i].page;
            m_headings = settled;
            if (same)
                break;
        }
        m_pageCount = pages;

        // One painter for the whole document: ending it finishes the file.
        QPainter painter(&writer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (int page = 0; page < m_pageCount; ++page) {
            if (page > 0 && !writer.newPage()) {
                m_error = QStringLiteral("cannot start page %1").arg(page + 1);
                return false;
            }
            QString chapter;
            for (const Heading &h : m_headings) {
                if (h.level == 1 && h.page <= page)
                    chapter = h.text;
            }
            paintPage(doc.get(), painter, page, chapter);
        }
    }
    // Replace the old manual only with a complete one.
    QFile::remove(pdfPath);
    if (!QFile::rename(partial, pdfPath)) {
        m_error = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    return true;
}
