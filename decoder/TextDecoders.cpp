#include "TextDecoders.h"

#include "DecoderText.h"
#include "HexLine.h"
#include "TextCodec.h"

QString DecodeDisplay(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0)
        return {};
    const QString text = DecodeText(contents, count);
    AddLine(tree, parent, text);
    return text;
}

QString DecodeKeypad(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count == 0 || !tree)
        return {};
    tree->AddChild(parent, DecodeText(contents, count));
    return {};
}

QString DecodeDateTime(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    AddHexLine(tree, parent, contents, count);
    if (count <= 2)
        return {};
    // Day, month and year, then as much of the time as is present.
    constexpr struct {
        uint32_t index;
        char16_t separator;
    } kFields[] = {{2, 0}, {1, u'.'}, {0, u'.'}, {3, u' '}, {4, u':'}, {5, u','}};
    QString text;
    text.reserve(17);
    for (const auto& field : kFields) {
        if (field.index >= count)
            break;
        if (field.separator)
            text.append(QChar(field.separator));
        AppendDecimal(text, contents[field.index], 2);
    }
    AddLine(tree, parent, text);
    return text;
}

QString DecodeUserUser(TDecodeTree*, TNodeId, const uint8_t* contents, uint32_t count)
{
    if (count > 1 && contents[0] == 0x04) // IA5 characters
        return DecodeText(contents + 1, count - 1);
    return {};
}
