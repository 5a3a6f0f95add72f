#include "DialCommand.h"

#include "DialRequest.h"

#include <QTextStream>

namespace {

constexpr int kNotTaken = 1;
constexpr int kBadArgument = 2;
constexpr char kTelScheme[] = "tel:";

int Fail(int status, const QString& text, bool withUsage = false)
{
    QTextStream err(stderr);
    err << "vessik-cli dial: " << text << '\n';
    if (withUsage)
        err << DialUsage();
    return status;
}

bool IsVisualSeparator(QChar c)
{
    return c == u'-' || c == u'.' || c == u'(' || c == u')' || c == u' ' || c == u'\t';
}

} // namespace

QString DialNumber(const QString& argument)
{
    if (!argument.startsWith(QLatin1String(kTelScheme), Qt::CaseInsensitive))
        return argument;
    const QString number = argument.mid(int(sizeof kTelScheme) - 1).section(u';', 0, 0);
    QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(number.toUtf8()));
    decoded.removeIf(IsVisualSeparator);
    return decoded;
}

QString DialUsage()
{
    return QStringLiteral(
        "Usage: vessik-cli dial NUMBER [--name NAME]\n"
        "  Hands a dialling request to the Vessik component that receives them for\n"
        "  this user (for example a running vessik-cli monitor). NUMBER may be a\n"
        "  tel: URI such as tel:+49-30-1234;phone-context=example.com.\n"
        "  --name NAME   the called party's name\n");
}

int RunDial(const QStringList& args)
{
    QString number;
    QString name;
    bool haveNumber = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << DialUsage();
            return 0;
        }
        if (arg == QLatin1String("--name")) {
            if (i + 1 >= args.size())
                return Fail(kBadArgument, QStringLiteral("--name needs a name"), true);
            name = args[++i];
        } else if (arg.startsWith(QLatin1String("--"))) {
            return Fail(kBadArgument, QStringLiteral("unknown option \"%1\"").arg(arg), true);
        } else if (haveNumber) {
            return Fail(kBadArgument, QStringLiteral("one number at a time"), true);
        } else {
            number = DialNumber(arg);
            haveNumber = true;
        }
    }
    if (number.isEmpty())
        return Fail(kBadArgument, QStringLiteral("no number to dial"), true);
    const QByteArray request = EncodeDialRequest({number, name});
    if (request.isEmpty())
        return Fail(kBadArgument, QStringLiteral("the number and name are too long"));
    switch (SendDialRequest(DialSocketPath(), request)) {
    case TDialResult::Taken:
        return 0;
    case TDialResult::NoneListening:
        return Fail(kNotTaken, QStringLiteral("no Vessik component is listening for dialling requests"));
    case TDialResult::NotTaken:
        break;
    }
    return Fail(kNotTaken, QStringLiteral("the listening component did not take the request"));
}
