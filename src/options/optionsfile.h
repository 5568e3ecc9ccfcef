#ifndef OPTIONSFILE_H
#define OPTIONSFILE_H

#include "meteroptions.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Everything options.xml keeps: the main window's four opaque layout blobs and the options.
struct OptionsRecord
{
    QByteArray geometry; // QWidget::saveGeometry()
    QByteArray state; // QMainWindow::saveState(0)
    QByteArray splitterState; // splitter->saveState()
    QByteArray splitter2State; // splitter_2->saveState()
    MeterOptions options;
};

// What a read found: a field holds a value only when the file supplied one, so that the
// caller applies just those and keeps its own values for the rest.
struct OptionsFound
{
    std::optional<QByteArray> geometry;
    std::optional<QByteArray> state;
    std::optional<QByteArray> splitterState;
    std::optional<QByteArray> splitter2State;
    std::optional<QString> language;
    std::optional<int> samplePoints;
    std::optional<bool> infinite;
    std::optional<int> sampleRate;
    std::optional<bool> skipRepeat;

    bool isEmpty() const;
    // Overwrites the options the file supplied and leaves the others alone.
    void applyTo(MeterOptions &options) const;
};

// Reads and writes options.xml. Knows nothing of the window: the window hands over and
// takes back plain values.
class OptionsFile
{
public:
    // options.xml in the directory of the executable.
    static QString defaultPath();

    // Replaces the file atomically: afterwards it holds either the complete new document or,
    // when anything failed (cannot create, write or rename), the previous one unchanged.
    // When no file can be created beside it (a read-only folder) but the file itself is
    // writable, it is written over in place; false when any write of that fails.
    static bool write(const QString &path, const OptionsRecord &record);

    // A missing or unreadable file finds nothing, and so does one of more than a megabyte; a
    // malformed one finds what came before the first error.
    static OptionsFound read(const QString &path);

    // The stored language code for start-up, before the window exists; empty when the file
    // cannot be opened or has no "Language" text.
    static QString readLanguage(const QString &path);

    // Whether a text may be a language code: a plain name (a file name without folders). Any
    // other "Language" text is treated as missing by both readers.
    static bool isLanguageCode(const QString &text);
};

#endif // OPTIONSFILE_H
