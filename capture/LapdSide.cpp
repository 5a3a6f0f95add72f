#include "LapdSide.h"

namespace {

enum class TRole : uint8_t { Command, Response, AssumedCommand, AssumedResponse };

struct TUnnumbered {
    uint8_t Control; // the control octet without the P/F bit
    TRole Role;
};

constexpr TUnnumbered kUnnumbered[] = {
    {0x03, TRole::Command},        // UI
    {0x6F, TRole::Command},        // SABME
    {0x43, TRole::Command},        // DISC
    {0x63, TRole::Response},       // UA
    {0x0F, TRole::Response},       // DM
    {0x87, TRole::Response},       // FRMR
    {0xAF, TRole::AssumedCommand}, // XID is either
};

TRole Role(const uint8_t* frame, uint32_t length)
{
    if (length < 3)
        return TRole::AssumedCommand;
    const uint8_t control = frame[2];
    if ((control & 0x01) == 0)
        return TRole::Command; // I
    if ((control & 0x03) == 0x01)
        return TRole::AssumedResponse; // RR, RNR, REJ
    for (const TUnnumbered& u : kUnnumbered)
        if ((control & 0xEF) == u.Control)
            return u.Role;
    return TRole::AssumedCommand;
}

} // namespace

std::optional<TFrameSender> FrameSender(const uint8_t* frame, uint32_t length)
{
    if (length < 1)
        return std::nullopt;
    const TRole role = Role(frame, length);
    const bool response = role == TRole::Response || role == TRole::AssumedResponse;
    const bool commandResponse = (frame[0] >> 1) & 1;
    const TLapdSide side = commandResponse != response ? TLapdSide::Network : TLapdSide::User;
    return TFrameSender{side, role == TRole::Command || role == TRole::Response};
}

void TLapdSideGuess::See(const uint8_t* frame, uint32_t length, bool sent)
{
    if (m_settled)
        return;
    const auto sender = FrameSender(frame, length);
    if (!sender || !sender->Certain)
        return;
    m_side = sent ? sender->Side : OtherSide(sender->Side);
    m_settled = true;
}
