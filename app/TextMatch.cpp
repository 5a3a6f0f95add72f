#include "TextMatch.h"

namespace {

constexpr char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

TTextMatch::TTextMatch(const QString& text)
    : m_text(text)
    , m_folded(text.toUtf8())
{
    for (char& c : m_folded)
        c = Fold(c);
}

bool TTextMatch::In(QByteArrayView utf8) const
{
    const qsizetype n = m_folded.size();
    if (n == 0)
        return true;
    const char first = m_folded[0];
    const char* const needle = m_folded.constData();
    const char* const data = utf8.data();
    const qsizetype last = utf8.size() - n;
    for (qsizetype i = 0; i <= last; ++i) {
        if (Fold(data[i]) != first)
            continue;
        qsizetype k = 1;
        while (k < n && Fold(data[i + k]) == needle[k])
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

bool TTextMatch::In(QStringView text) const
{
    return IndexIn(text) >= 0;
}

qsizetype TTextMatch::IndexIn(QStringView text) const
{
    if (m_text.isEmpty())
        return 0;
    return text.indexOf(m_text, 0, Qt::CaseInsensitive);
}
