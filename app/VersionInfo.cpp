#include "VersionInfo.h"

#include <QStringList>
#include <QtEndian>

namespace {

constexpr qsizetype kHeaderBytes = 6;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

qsizetype Align4(qsizetype offset)
{
    return (offset + 3) & ~qsizetype(3);
}

void AppendWord(QByteArray& out, uint16_t value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void AppendDword(QByteArray& out, uint32_t value)
{
    AppendWord(out, uint16_t(value & 0xFFFF));
    AppendWord(out, uint16_t(value >> 16));
}

void PadTo4(QByteArray& out)
{
    while (out.size() % 4 != 0)
        out.append('\0');
}

bool AppendBlock(QByteArray& out, const TVersionBlock& block)
{
    const qsizetype start = out.size();
    AppendWord(out, 0); // total length, patched below
    const qsizetype valueLength = block.IsText ? block.Value.size() / 2 : block.Value.size();
    if (valueLength > 0xFFFF)
        return false;
    AppendWord(out, uint16_t(valueLength));
    AppendWord(out, block.IsText ? 1 : 0);
    for (QChar c : block.Key)
        AppendWord(out, c.unicode());
    AppendWord(out, 0);
    PadTo4(out);
    out.append(block.Value);
    for (const TVersionBlock& child : block.Children) {
        PadTo4(out);
        if (!AppendBlock(out, child))
            return false;
    }
    const qsizetype total = out.size() - start;
    if (total > 0xFFFF)
        return false;
    out[start] = char(total & 0xFF);
    out[start + 1] = char(total >> 8);
    return true;
}

// One block read from the blob; every offset has been checked against it.
struct TBlockView {
    qsizetype Start = 0;
    qsizetype End = 0;        // Start + total length, within the blob
    QString Key;
    TVersionValue Value;
    qsizetype ChildrenStart = 0;
};

uint16_t WordAt(QByteArrayView blob, qsizetype at)
{
    return qFromLittleEndian<uint16_t>(blob.data() + at);
}

// Reads the block at `start`, which must end by `limit`.
std::optional<TBlockView> ReadBlock(QByteArrayView blob, qsizetype start, qsizetype limit)
{
    if (start < 0 || limit > blob.size() || limit - start < kHeaderBytes)
        return std::nullopt;
    TBlockView view;
    view.Start = start;
    const qsizetype total = WordAt(blob, start);
    if (total < kHeaderBytes || total > limit - start)
        return std::nullopt;
    view.End = start + total;
    const uint16_t valueLength = WordAt(blob, start + 2);
    const uint16_t type = WordAt(blob, start + 4);
    qsizetype at = start + kHeaderBytes;
    for (;;) {
        if (view.End - at < 2)
            return std::nullopt; // the key has no terminating zero inside the block
        const uint16_t c = WordAt(blob, at);
        at += 2;
        if (c == 0)
            break;
        view.Key.append(QChar(c));
    }
    at = Align4(at);
    // Text values count characters; a value may not leave its block.
    const qsizetype valueBytes = type == 1 ? qsizetype(valueLength) * 2 : qsizetype(valueLength);
    if (at > view.End || valueBytes > view.End - at)
        return std::nullopt;
    view.Value.Data = blob.sliced(at, valueBytes);
    view.Value.Length = valueLength;
    view.Value.IsText = type == 1;
    view.ChildrenStart = Align4(at + valueBytes);
    return view;
}

std::optional<TBlockView> FindChild(QByteArrayView blob, const TBlockView& parent, QStringView key)
{
    qsizetype at = parent.ChildrenStart;
    while (parent.End - at >= kHeaderBytes) {
        const auto child = ReadBlock(blob, at, parent.End);
        if (!child)
            return std::nullopt;
        if (child->Key.compare(key, Qt::CaseInsensitive) == 0)
            return child;
        at = Align4(child->End);
    }
    return std::nullopt;
}

} // namespace

TVersionBlock TVersionBlock::Binary(const QString& key, QByteArray value, QList<TVersionBlock> children)
{
    return {key, false, std::move(value), std::move(children)};
}

TVersionBlock TVersionBlock::Text(const QString& key, const QString& text)
{
    QByteArray value;
    for (QChar c : text)
        AppendWord(value, c.unicode());
    AppendWord(value, 0);
    return {key, true, value, {}};
}

TVersionBlock TVersionBlock::Node(const QString& key, QList<TVersionBlock> children)
{
    return {key, false, {}, std::move(children)};
}

QByteArray BuildVersionInfo(const TVersionBlock& root)
{
    QByteArray out;
    if (!AppendBlock(out, root))
        return {};
    return out;
}

std::optional<TVersionValue> QueryVersionValue(QByteArrayView blob, QStringView path)
{
    auto block = ReadBlock(blob, 0, blob.size());
    if (!block)
        return std::nullopt;
    for (QStringView key : path.split(u'\\', Qt::SkipEmptyParts)) {
        block = FindChild(blob, *block, key);
        if (!block)
            return std::nullopt;
    }
    return block->Value;
}

QString VersionText(QByteArrayView blob)
{
    const QString fallback = QString::fromLatin1(kVersionNotAvailable);
    if (blob.isEmpty())
        return fallback;
    // A copy one byte longer, as the lookup reads from its own buffer.
    QByteArray buffer(blob.data(), blob.size());
    buffer.append('\0');
    const QByteArrayView info(buffer.constData(), blob.size());

    const auto root = QueryVersionValue(info, u"\\");
    if (!root || root->Length <= 1)
        return fallback;
    const auto translation = QueryVersionValue(info, u"\\VarFileInfo\\Translation");
    if (!translation || translation->IsText || translation->Data.size() < 4)
        return fallback;
    const uint16_t language = qFromLittleEndian<uint16_t>(translation->Data.data());
    const uint16_t codePage = qFromLittleEndian<uint16_t>(translation->Data.data() + 2);
    const QString table = QStringLiteral("%1%2")
                              .arg(language, 4, 16, QLatin1Char('0'))
                              .arg(codePage, 4, 16, QLatin1Char('0'))
                              .toUpper();
    const auto version = QueryVersionValue(info, QStringLiteral("\\StringFileInfo\\%1\\FileVersion").arg(table));
    if (!version || !version->IsText || version->Length <= 1)
        return fallback;
    QString text;
    for (qsizetype at = 0; at + 1 < version->Data.size(); at += 2) {
        const char16_t c = qFromLittleEndian<uint16_t>(version->Data.data() + at);
        if (c == 0)
            break; // the terminating zero, or an early one
        text.append(QChar(c));
    }
    return text.isEmpty() ? fallback : text;
}

QByteArray FixedFileInfo(uint16_t major, uint16_t minor, uint16_t patch, uint16_t build)
{
    QByteArray out;
    AppendDword(out, kFixedInfoSignature);
    AppendDword(out, 0x00010000); // structure version 1.0
    AppendDword(out, uint32_t(major) << 16 | minor); // file version
    AppendDword(out, uint32_t(patch) << 16 | build);
    AppendDword(out, uint32_t(major) << 16 | minor); // product version
    AppendDword(out, uint32_t(patch) << 16 | build);
    for (int i = 0; i < 7; ++i)
        AppendDword(out, 0); // flags mask, flags, OS, type, subtype, date
    return out;
}
