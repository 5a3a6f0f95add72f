#pragma once
// Shared by the decoder tests: octets from hex text, and one decoder run with
// and without a tree.

#include "MemoryTree.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// "80 90 A3" -> {0x80, 0x90, 0xA3}; blanks are optional. The vector holds
// exactly the octets, so a read past them shows under a sanitizer.
inline std::vector<uint8_t> Octets(std::string_view hex)
{
    std::vector<uint8_t> octets;
    int high = -1;
    for (char c : hex) {
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            octets.push_back(uint8_t(high * 16 + v));
            high = -1;
        }
    }
    octets.shrink_to_fit();
    return octets;
}

struct TDecoded {
    QString text;       // result with a tree
    QString textNoTree; // result without one: must be the same
    QStringList lines;  // children of the element node, the hex line first
};

template <typename TDecoder>
TDecoded DecodeHex(TDecoder decoder, std::string_view hex)
{
    const std::vector<uint8_t> octets = Octets(hex);
    const uint8_t* data = octets.empty() ? nullptr : octets.data();
    TMemoryTree tree;
    const TNodeId element = tree.AddChild(kTopLevel, QStringLiteral("IE"));
    TDecoded result;
    result.text = decoder(&tree, element, data, uint32_t(octets.size()));
    result.textNoTree = decoder(nullptr, kTopLevel, data, uint32_t(octets.size()));
    result.lines = tree.Children(element);
    return result;
}

// Every line of a frame's tree, pre-order, two blanks per level.
QStringList FrameLines(std::string_view hex);
