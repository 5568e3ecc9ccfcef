#include "textinterner.h"

TextInterner::TextInterner(int capacity)
    : m_capacity(capacity)
{
}

bool TextInterner::intern(QString &text)
{
    const auto held = m_texts.constFind(text);
    if (held == m_texts.constEnd()) {
        if (m_texts.size() < m_capacity)
            m_texts.insert(text);
        return false;
    }
    if (held->constData() == text.constData())
        return false;
    text = *held;
    return true;
}

void TextInterner::clear()
{
    m_texts.clear();
}
