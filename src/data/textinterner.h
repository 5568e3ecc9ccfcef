#ifndef TEXTINTERNER_H
#define TEXTINTERNER_H

#include <QSet>
#include <QString>

// Holds each distinct text once. The readings of an item repeat a few thousand value texts
// ("23.4", "48.0") over and over, and a reading's own copy of its four texts costs more
// memory than the rest of the reading; interning points a text at the equal one held here
// (implicitly shared), and the reading's copy is freed.
//
// The table stops growing at `capacity` texts: data with unusually many distinct texts keeps
// the texts it came with rather than making the table huge.
class TextInterner
{
public:
    explicit TextInterner(int capacity = 65536);

    // Makes `text` share the held equal text; a new text is held itself, while there is room.
    // True when `text` was replaced by the held copy (and whoever it came from should take the
    // replacement), false when it is kept as it was.
    bool intern(QString &text);

    int size() const { return m_texts.size(); }
    void clear();

private:
    QSet<QString> m_texts;
    int m_capacity;
};

#endif // TEXTINTERNER_H
