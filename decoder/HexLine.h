#pragma once
// Raw octets as the decoder shows them: "08 01 05 " (two upper-case digits
// and a blank per octet).

#include "DecodeTree.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>

QString HexLine(const uint8_t* octets, uint32_t count);

// Adds the hex line of the octets as one child of parent; nothing without a tree.
void AddHexLine(TDecodeTree* tree, TNodeId parent, const uint8_t* octets, uint32_t count);

// 0..15 for a hex digit of either case, else -1.
int HexDigitValue(QChar c);

// The octets of a hex line as the trace list's Data column holds it: read in
// steps of three characters, upper or lower case; a pair that is not two hex
// digits is skipped without shifting the rest ("02 XY 03" gives 02 03). At
// most maxOctets are taken.
QByteArray OctetsFromHexLine(QStringView text, qsizetype maxOctets = 256);
