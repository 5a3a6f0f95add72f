#include "FrameDecoder.h"

#include "DecoderText.h"
#include "ElementDecoders.h"
#include "HexLine.h"

namespace {

// U frames by control octet with the P/F bit cleared.
constexpr TCodeText kUFrameList[] = {
    {0x03, u"UI (unnumbered information)"},
    {0x0F, u"DM (disconnect mode)"},
    {0x43, u"DISC (disconnect)"},
    {0x63, u"UA (unnumbered ack)"},
    {0x6F, u"SABME (set asynchronous balanced mode extended)"},
    {0x87, u"FRMR (frame reject)"},
    {0xAF, u"XID (exchange id)"},
};
constexpr auto kUFrames = ByCode<256>(kUFrameList);

// S frames by control octet >> 1.
constexpr TCodeText kSFrameList[] = {
    {0, u"RR (receive ready): N(R)=0x"},
    {2, u"RNR (receive not ready): N(R)=0x"},
    {4, u"REJ (reject): N(R)=0x"},
};
constexpr auto kSFrames = ByCode<128>(kSFrameList);

// The summary's short names are the lines' first words ("UI", "RR", ...).
template <size_t Size, size_t N>
constexpr std::array<QStringView, Size> FirstWordsByCode(const TCodeText (&entries)[N])
{
    std::array<QStringView, Size> words{};
    for (const TCodeText& entry : entries) {
        qsizetype n = 0;
        while (n < entry.text.size() && entry.text[n] != u' ')
            ++n;
        words[entry.code] = QStringView(entry.text.utf16(), n);
    }
    return words;
}
constexpr auto kUFrameShort = FirstWordsByCode<256>(kUFrameList);
constexpr auto kSFrameShort = FirstWordsByCode<128>(kSFrameList);
static_assert(kUFrameShort[0x6F].size() == 5 && kSFrameShort[2].size() == 3 && kSFrameShort[1].isNull());

// Each message name is stored behind the tree's label, so both the bare
// name and the node text are views of one literal.
constexpr qsizetype kMessageLabel = 14; // "Message type: "
constexpr TCodeText kMessageTypeList[] = {
    {0x01, u"Message type: alerting"},
    {0x02, u"Message type: call proceeding"},
    {0x03, u"Message type: progress"},
    {0x05, u"Message type: setup"},
    {0x07, u"Message type: connect"},
    {0x0D, u"Message type: setup acknowledge"},
    {0x0F, u"Message type: connect acknowledge"},
    {0x20, u"Message type: user information"},
    {0x21, u"Message type: suspend reject"},
    {0x22, u"Message type: resume reject"},
    {0x24, u"Message type: hold"},
    {0x25, u"Message type: suspend"},
    {0x26, u"Message type: resume"},
    {0x28, u"Message type: hold acknowledge"},
    {0x2D, u"Message type: suspend acknowledge"},
    {0x2E, u"Message type: resume acknowledge"},
    {0x30, u"Message type: hold reject"},
    {0x31, u"Message type: retrieve"},
    {0x33, u"Message type: retrieve acknowledge"},
    {0x37, u"Message type: retrieve reject"},
    {0x45, u"Message type: disconnect"},
    {0x46, u"Message type: restart"},
    {0x4D, u"Message type: release"},
    {0x4E, u"Message type: restart acknowledge"},
    {0x5A, u"Message type: release complete"},
    {0x60, u"Message type: segment"},
    {0x62, u"Message type: facility"},
    {0x64, u"Message type: register"},
    {0x6E, u"Message type: notify"},
    {0x75, u"Message type: status enquiry"},
    {0x79, u"Message type: congestion control"},
    {0x7B, u"Message type: information"},
    {0x7D, u"Message type: status"},
};
constexpr auto kMessageTypes = ByCode<128>(kMessageTypeList);
constexpr QStringView kUnknownMessage = u"Message type: unknown";

constexpr qsizetype kElementLabel = 4; // "IE: "
constexpr TCodeText kElementList[] = {
    {0x00, u"IE: segmented message"},
    {0x04, u"IE: bearer capability"},
    {0x08, u"IE: cause"},
    {0x0C, u"IE: called party number"},
    {0x0D, u"IE: extended facility"},
    {0x10, u"IE: call identity"},
    {0x14, u"IE: call state"},
    {0x18, u"IE: channel"},
    {0x1C, u"IE: facility data"},
    {0x1E, u"IE: progress indicator"},
    {0x20, u"IE: network-specific facilities"},
    {0x27, u"IE: notification indicator"},
    {0x28, u"IE: display"},
    {0x29, u"IE: date/time"},
    {0x2C, u"IE: keypad facility"},
    {0x32, u"IE: information request"},
    {0x34, u"IE: signal"},
    {0x38, u"IE: feature activation"},
    {0x39, u"IE: feature indication"},
    {0x3A, u"IE: service profile identification"},
    {0x3B, u"IE: endpoint identifier"},
    {0x40, u"IE: information rate"},
    {0x42, u"IE: end-to-end transit delay"},
    {0x43, u"IE: transit delay selection and indication"},
    {0x44, u"IE: packet layer binary parameters"},
    {0x45, u"IE: packet layer window size"},
    {0x46, u"IE: packet size"},
    {0x47, u"IE: closed user group"},
    {0x48, u"IE: link layer core parameters"},
    {0x49, u"IE: link layer protocol parameters"},
    {0x4A, u"IE: reverse charge indication"},
    {0x4C, u"IE: connected number"},
    {0x4D, u"IE: connected subaddress"},
    {0x6C, u"IE: calling party number"},
    {0x6D, u"IE: calling party subaddress"},
    {0x70, u"IE: called party number"},
    {0x71, u"IE: called party subaddress"},
    {0x74, u"IE: redirecting number"},
    {0x76, u"IE: redirection number"},
    {0x78, u"IE: transit network selection"},
    {0x79, u"IE: restart indicator"},
    {0x7C, u"IE: low layer compatibility"},
    {0x7D, u"IE: high layer compatibility"},
    {0x7E, u"IE: user-user"},
    {0x7F, u"IE: escape for extension"},
    {0x90, u"IE: shift"}, {0x91, u"IE: shift"}, {0x92, u"IE: shift"}, {0x93, u"IE: shift"},
    {0x94, u"IE: shift"}, {0x95, u"IE: shift"}, {0x96, u"IE: shift"}, {0x97, u"IE: shift"},
    {0x98, u"IE: shift"}, {0x99, u"IE: shift"}, {0x9A, u"IE: shift"}, {0x9B, u"IE: shift"},
    {0x9C, u"IE: shift"}, {0x9D, u"IE: shift"}, {0x9E, u"IE: shift"}, {0x9F, u"IE: shift"},
    {0xA0, u"IE: more data"},
    {0xA1, u"IE: sending complete"},
};
constexpr auto kElements = ByCode<256>(kElementList);
constexpr QStringView kUnknownElement = u"IE: unknown";

QStringView MessageTypeLine(uint8_t messageType)
{
    const QStringView line = kMessageTypes[messageType & 0x7F];
    return line.isNull() ? kUnknownMessage : line;
}

QStringView ElementLine(uint8_t identifier)
{
    const QStringView line = kElements[identifier];
    return line.isNull() ? kUnknownElement : line;
}

QString DecodeLowLayerCompatibilityText(TDecodeTree* tree, TNodeId parent, const uint8_t* contents,
                                        uint32_t count)
{
    bool wideband = false; // only the CAPI side needs it
    return DecodeLowLayerCompatibility(tree, parent, contents, count, wideband);
}

using TElementDecoder = QString (*)(TDecodeTree*, TNodeId, const uint8_t*, uint32_t);

struct TElementEntry {
    uint8_t identifier;
    TElementDecoder decoder;
};
constexpr TElementEntry kElementDecoderList[] = {
    {0x04, DecodeBearerCapability},
    {0x08, DecodeCause},
    {0x14, DecodeCallState},
    {0x18, DecodeChannelIdentification},
    {0x1C, DecodeFacility},
    {0x1E, DecodeProgressIndicator},
    {0x27, DecodeNotificationIndicator},
    {0x28, DecodeDisplay},
    {0x29, DecodeDateTime},
    {0x2C, DecodeKeypad},
    {0x4C, DecodeConnectedNumber},
    {0x4D, DecodeSubaddress},
    {0x6C, DecodeCallingPartyNumber},
    {0x6D, DecodeSubaddress},
    {0x70, DecodeCalledPartyNumber},
    {0x71, DecodeSubaddress},
    {0x74, DecodeRedirectingNumber},
    {0x76, DecodeRedirectingNumber},
    {0x7C, DecodeLowLayerCompatibilityText},
    {0x7D, DecodeHighLayerCompatibility},
};
constexpr auto kElementDecoders = [] {
    std::array<TElementDecoder, 128> table{};
    for (const TElementEntry& entry : kElementDecoderList)
        table[entry.identifier] = entry.decoder;
    return table;
}();

QStringView FrameType(const uint8_t* frame, uint32_t length)
{
    if (length < 3)
        return {};
    const uint8_t c = frame[2];
    if ((c & 1) == 0)
        return u"I";
    if ((c & 3) == 1 && length >= 4)
        return kSFrameShort[c >> 1];
    return kUFrameShort[c & 0xEF];
}

// Octet at position, or 0 past the end.
uint8_t At(const uint8_t* frame, uint32_t length, uint64_t position)
{
    return position < length ? frame[position] : 0;
}

template <size_t N>
QString Hex2Line(const char16_t (&label)[N], uint32_t value)
{
    return HexText(label, value, 2);
}

void DecodeQ931(TDecodeTree* tree, const uint8_t* frame, uint32_t length, uint32_t h)
{
    const TNodeId l3 = tree->AddChild(kTopLevel, StaticText(u"Layer 3 (Q.931)"));
    AddHexLine(tree, l3, frame + h, length - h);
    tree->Expand(l3);

    uint32_t start = h + 1;
    const uint32_t crv = CallReference(frame, length, start);
    const uint8_t messageType = At(frame, length, start);
    // 64 bits: stepping past the last octet must not wrap to the frame's start.
    uint64_t p = uint64_t(start) + 1;

    tree->AddChild(l3, StaticText(u"Protocoldiscriminator: 0x08 (Q.931)"));
    tree->AddChild(l3, StaticText(MessageTypeLine(messageType)));
    QString crvLine = StaticText(u"CRV: ");
    crvLine.reserve(16);
    AppendDecimal(crvLine, crv);
    tree->AddChild(l3, crvLine);

    while (p < length) {
        const uint8_t id = frame[p++];
        const TNodeId element = tree->AddChild(l3, StaticText(ElementLine(id)));
        if (id >= 0x80)
            continue; // single-octet element: no length, no contents
        uint32_t n = At(frame, length, p);
        ++p;
        if (p >= length)
            n = 0;
        else if (p + n > length)
            n = uint32_t(length - p);
        DecodeElement(tree, element, id, n ? frame + p : frame, n);
        p += n;
    }
}

void DecodeTeiManagement(TDecodeTree* tree, const uint8_t* frame, uint32_t length, uint32_t h)
{
    const TNodeId t = tree->AddChild(kTopLevel, StaticText(u"TEI Management"));
    AddHexLine(tree, t, frame + h, length - h);
    tree->Expand(t);

    // A truncated message shows the fields it holds, nothing invented.
    const uint64_t p = uint64_t(h) + 1;
    tree->AddChild(t, Hex2Line(u"TEI Management: 0x", frame[h]));
    if (p + 1 < length)
        tree->AddChild(t, HexText(u"Reference number: 0x", uint32_t(frame[p]) * 256 + frame[p + 1], 4));
    if (p + 2 < length)
        tree->AddChild(t, Hex2Line(u"Message type: 0x", frame[p + 2]));
    if (p + 3 < length)
        tree->AddChild(t, Hex2Line(u"Action indicator: 0x", frame[p + 3] >> 1));
}

} // namespace

uint32_t DecodeLayer2(TDecodeTree* tree, const uint8_t* frame, uint32_t length)
{
    const TNodeId l2 = tree ? tree->AddChild(kTopLevel, StaticText(u"Layer 2 (Q.921)")) : kTopLevel;
    if (length < 3)
        return 0;
    const uint8_t c = frame[2];
    const uint32_t h = ((c & 3) == 3 || length < 4) ? 3 : 4;
    if (!tree)
        return h;

    AddHexLine(tree, l2, frame, h);
    tree->AddChild(l2, Hex2Line(u"Command/Response: 0x", (frame[0] >> 1) & 1));
    tree->AddChild(l2, Hex2Line(u"SAPI: 0x", frame[0] >> 2));
    tree->AddChild(l2, Hex2Line(u"TEI: 0x", frame[1] >> 1));

    if ((c & 1) == 0) {
        // An I frame cut after its control octet has no N(R) to show.
        QString line = HexText(u"I (information): N(S)=0x", c >> 1, 2);
        if (h == 4) {
            line.append(u", N(R)=0x");
            AppendHex(line, frame[3] >> 1, 2);
        }
        tree->AddChild(l2, line);
    } else if (h == 4) {
        const QStringView label = kSFrames[c >> 1];
        if (!label.isNull())
            tree->AddChild(l2, HexText(label, frame[3] >> 1, 2));
    } else {
        AddKnownLine(tree, l2, kUFrames[c & 0xEF]);
    }
    return h;
}

QString FrameTypeName(const uint8_t* frame, uint32_t length)
{
    return StaticText(FrameType(frame, length));
}

uint32_t CallReference(const uint8_t* frame, uint32_t length, uint32_t& position)
{
    if (position >= length)
        return 0;
    uint32_t n = frame[position++];
    uint32_t value = 0;
    while (n > 0 && position < length) {
        value = (value << 8) | (frame[position++] & 0x7F);
        --n;
    }
    return value;
}

QString MessageTypeName(uint8_t messageType)
{
    return StaticText(MessageTypeLine(messageType).mid(kMessageLabel));
}

QString InformationElementName(uint8_t identifier)
{
    return StaticText(ElementLine(identifier).mid(kElementLabel));
}

QString FrameSummary(const uint8_t* frame, uint32_t length, bool layer2)
{
    // Put together on the stack and allocated once: the trace and the
    // command line make one summary per frame. The longest is a frame type,
    // two 8-digit values and the longest message name.
    char16_t buffer[64];
    char16_t* end = buffer;
    const auto put = [&end](QStringView text) { end = std::copy(text.utf16(), text.utf16() + text.size(), end); };
    const auto putValue = [&](uint32_t value) {
        char16_t digits[8];
        put(u"(");
        put(QStringView(HexDigitsBefore(digits + 8, value, 2), digits + 8));
        put(u")");
    };
    uint32_t v = 0;
    if (layer2) {
        put(FrameType(frame, length));
        v = length >= 2 ? frame[1] >> 1 : 0; // no TEI octet: show 0
    }
    const uint32_t h = DecodeLayer2(nullptr, frame, length);
    const uint8_t d = (h > 1 && h < length) ? frame[h] : 0;
    if (d == 0x08 || d == 0x0F) {
        if (layer2) { // the frame type's TEI, then the layer-3 part
            putValue(v);
            put(u", ");
        }
        if (d == 0x08) {
            uint32_t p = h + 1;
            v = CallReference(frame, length, p);
            put(MessageTypeLine(At(frame, length, p)).mid(kMessageLabel));
        } else {
            put(u"TEI management");
        }
    }
    putValue(v);
    return QString(reinterpret_cast<const QChar*>(buffer), end - buffer);
}

void DecodeFrame(TDecodeTree* tree, const uint8_t* frame, uint32_t length)
{
    if (!tree)
        return;
    tree->Clear();
    const uint32_t h = DecodeLayer2(tree, frame, length);
    if (h <= 1 || h >= length)
        return;
    if (frame[h] == 0x08)
        DecodeQ931(tree, frame, length, h);
    else if (frame[h] == 0x0F)
        DecodeTeiManagement(tree, frame, length, h);
}

QString DecodeElement(TDecodeTree* tree, TNodeId parent, uint8_t identifier, const uint8_t* contents,
                      uint32_t count)
{
    const TElementDecoder decoder = identifier < kElementDecoders.size() ? kElementDecoders[identifier] : nullptr;
    if (decoder)
        return decoder(tree, parent, contents, count);
    AddHexLine(tree, parent, contents, count);
    return {};
}
