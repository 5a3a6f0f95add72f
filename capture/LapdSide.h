#pragma once
// Which side of the line sent a LAPD frame. The address field's C/R bit says
// it only together with the frame's role: commands from the user side and
// responses from the network side carry C/R = 0, the others C/R = 1.

#include <cstdint>
#include <optional>

enum class TLapdSide : uint8_t { User, Network };

constexpr TLapdSide OtherSide(TLapdSide side)
{
    return side == TLapdSide::User ? TLapdSide::Network : TLapdSide::User;
}

struct TFrameSender {
    TLapdSide Side;
    // False where the role was assumed: RR, RNR and REJ are taken as
    // responses (the acknowledgements that nearly all of them are), XID and
    // unknown U frames and frames without a control octet as commands.
    bool Certain;
};

// Nothing for a frame without an address octet.
std::optional<TFrameSender> FrameSender(const uint8_t* frame, uint32_t length);

// Which side "this side" of a trace is, learnt from the first frame whose
// sender is certain and whose direction is known; the user side until then,
// as an ISDN card is a terminal.
class TLapdSideGuess {
public:
    void See(const uint8_t* frame, uint32_t length, bool sent);
    TLapdSide ThisSide() const { return m_side; }

private:
    TLapdSide m_side = TLapdSide::User;
    bool m_settled = false;
};
