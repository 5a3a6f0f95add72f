#include "AnswerFormat.h"

#include <QStringList>

namespace {

constexpr qsizetype kMaxNumberInName = 64;

// A field of the line: never empty, never with a blank in it.
QString Field(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("-");
    QString field = text;
    for (QChar& c : field)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            c = u'_';
    return field;
}

bool SafeInName(QChar c)
{
    return (c.unicode() < 128 && c.isLetterOrNumber()) || QStringView(u"+*#@.-").contains(c);
}

} // namespace

QString RecordingBaseName(const QDateTime& offered, const QString& calling)
{
    QString number = calling.left(kMaxNumberInName);
    for (QChar& c : number)
        if (!SafeInName(c))
            c = u'_';
    if (number.isEmpty())
        number = QStringLiteral("unknown");
    return offered.toString(QStringLiteral("yyyyMMdd-HHmmss")) + u'-' + number;
}

QString UniqueRecordingName(const QDir& dir, const QString& base, const QStringList& taken)
{
    QString name = base + QStringLiteral(".wav");
    for (int n = 2; dir.exists(name) || taken.contains(name); ++n)
        name = base + QStringLiteral("-%1.wav").arg(n);
    return name;
}

QString AnswerLine(const QDateTime& offered, const QString& calling, const QString& called, uint64_t frames,
                   int rate, const QString& file)
{
    const QString seconds = QString::number(double(frames) / double(rate), 'f', 1);
    return QStringList{offered.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), Field(calling), Field(called),
                       seconds, Field(file)}
        .join(u'\t');
}
