#include "PcapngBlocks.h"

#include <QtEndian>
#include <cstring>

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescription = 0x00000001;
constexpr uint32_t kEnhancedPacket = 0x00000006;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t kEndOfOptions = 0;
constexpr uint16_t kComment = 1;
constexpr uint16_t kPacketFlags = 2;
constexpr uint16_t kUserApplication = 4;
constexpr qsizetype kMaxOption = 0xFFFF;

constexpr char kApplication[] = "Vessik";

void Put16(QByteArray& out, uint16_t value)
{
    const uint16_t le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void Put32(QByteArray& out, uint32_t value)
{
    const uint32_t le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void Pad(QByteArray& out)
{
    while (out.size() % 4)
        out.append('\0');
}

void PutOption(QByteArray& out, uint16_t code, QByteArrayView value)
{
    Put16(out, code);
    Put16(out, uint16_t(value.size()));
    out.append(value.data(), value.size());
    Pad(out);
}

// Writes the block type and a length to be mended by EndBlock.
qsizetype BeginBlock(QByteArray& out, uint32_t type)
{
    Pad(out); // blocks start on 32-bit boundaries; everything written here keeps them there
    const qsizetype start = out.size();
    Put32(out, type);
    Put32(out, 0);
    return start;
}

void EndBlock(QByteArray& out, qsizetype start)
{
    const uint32_t length = uint32_t(out.size() - start + 4);
    Put32(out, length);
    const uint32_t le = qToLittleEndian(length);
    std::memcpy(out.data() + start + 4, &le, sizeof le);
}

// The longest start of UTF-8 text that fits an option and ends between characters.
QByteArrayView FitOption(QByteArrayView text)
{
    if (text.size() <= kMaxOption)
        return text;
    qsizetype end = kMaxOption;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80)
        --end;
    return text.first(end);
}

} // namespace

void AppendPcapngSectionHeader(QByteArray& out)
{
    const qsizetype start = BeginBlock(out, kSectionHeader);
    Put32(out, kByteOrderMagic);
    Put16(out, 1); // version 1.0
    Put16(out, 0);
    Put32(out, 0xFFFFFFFF); // section length not given
    Put32(out, 0xFFFFFFFF);
    PutOption(out, kUserApplication, kApplication);
    PutOption(out, kEndOfOptions, {});
    EndBlock(out, start);
}

void AppendPcapngInterface(QByteArray& out, uint16_t linkType, uint32_t snapLength)
{
    const qsizetype start = BeginBlock(out, kInterfaceDescription);
    Put16(out, linkType);
    Put16(out, 0);
    Put32(out, snapLength);
    EndBlock(out, start);
}

void AppendPcapngPacket(QByteArray& out, uint64_t timeUs, QByteArrayView data, uint32_t originalLength,
                        uint32_t flags, QByteArrayView comment)
{
    const qsizetype start = BeginBlock(out, kEnhancedPacket);
    Put32(out, 0); // interface
    Put32(out, uint32_t(timeUs >> 32));
    Put32(out, uint32_t(timeUs));
    Put32(out, uint32_t(data.size()));
    Put32(out, originalLength);
    out.append(data.data(), data.size());
    Pad(out);
    if (!comment.isEmpty())
        PutOption(out, kComment, FitOption(comment));
    if (flags != 0) {
        uint32_t le = qToLittleEndian(flags);
        PutOption(out, kPacketFlags, QByteArrayView(reinterpret_cast<const char*>(&le), sizeof le));
    }
    if (!comment.isEmpty() || flags != 0)
        PutOption(out, kEndOfOptions, {});
    EndBlock(out, start);
}
