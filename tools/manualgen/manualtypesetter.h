#ifndef MANUALTYPESETTER_H
#define MANUALTYPESETTER_H

#include <QList>
#include <QMarginsF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>

class QPagedPaintDevice;
class QPainter;
class QTextDocument;

// Typesets the user manual: a rich-text (HTML) source with its pictures becomes a paged A4 PDF
// with a running header, page numbers in the footer and a generated table of contents.
//
// The source is ordinary HTML as the toolkit's rich text understands it, plus a few
// conventions of this tool:
//   <title>                         the manual's title (PDF metadata, running header)
//   <meta name="page-label" content="Page %1 of %2">   footer text
//   <!--contents-->                 where the table of contents goes (first-level headings)
//   <h1>, <h2>                      chapters and sections, numbered here ("3", "3.2")
// Pictures (<img src="...">) are resolved against the source file's folder; a picture that
// cannot be read is an error, so the manual never ships with a hole in it.
class ManualTypesetter
{
public:
    struct Heading
    {
        int level = 0; // 1 chapter, 2 section
        QString text; // with its number
        int page = 0; // 0-based page index
    };

    ManualTypesetter();
    ~ManualTypesetter();

    // Reads the source; false with a message in error() when it or a picture is missing.
    bool load(const QString &htmlPath);
    // Lays the manual out and writes the PDF; false with a message in error().
    bool writePdf(const QString &pdfPath);

    QString error() const { return m_error; }
    int pageCount() const { return m_pageCount; }
    QList<Heading> headings() const { return m_headings; }

private:
    std::unique_ptr<QTextDocument> typeset(const QString &html, QPagedPaintDevice *device,
                                           QList<Heading> *headings, int *pages) const;
    QString withContents(const QList<Heading> &headings, bool withPages) const;
    void numberHeadings(QTextDocument *doc) const;
    // Moves a heading that would end a page onto the next page, with the text it introduces.
    void keepHeadingsWithText(QTextDocument *doc, double pageHeight) const;
    void paintPage(QTextDocument *doc, QPainter &painter, int page, const QString &chapter) const;
    QString metaContent(const QString &name, const QString &fallback) const;

    QString m_sourcePath;
    QString m_html;
    QString m_title;
    QString m_pageLabel;
    QStringList m_imageNames;
    QList<Heading> m_headings;
    int m_pageCount = 0;
    QString m_error;

    // Page geometry, in millimetres.
    QSizeF m_pageMm {210.0, 297.0};
    QMarginsF m_marginsMm {20.0, 24.0, 20.0, 22.0};
};

#endif // MANUALTYPESETTER_H
