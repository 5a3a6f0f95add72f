#include "LapdSide.h"
#include "LinuxLapdHeader.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TSenderCase {
    const char* name;
    std::vector<uint8_t> frame;
    TLapdSide side;
    bool certain;
};

// C/R = 0 on commands from the user side and on responses from the network side.
const TSenderCase kSenders[] = {
    {"IFrameWithoutCrFromUser", {0x00, 0x81, 0x02, 0x02, 0x08}, TLapdSide::User, true},
    {"IFrameWithCrFromNetwork", {0x02, 0x81, 0x02, 0x02, 0x08}, TLapdSide::Network, true},
    {"UiBroadcastFromNetwork", {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05}, TLapdSide::Network, true},
    {"SabmeWithPollFromUser", {0x00, 0x81, 0x7F}, TLapdSide::User, true},
    {"UaWithoutCrFromNetwork", {0x00, 0x81, 0x73}, TLapdSide::Network, true},
    {"DmWithCrFromUser", {0x02, 0x81, 0x0F}, TLapdSide::User, true},
    {"RrTakenAsResponse", {0x02, 0x81, 0x01, 0x0A}, TLapdSide::User, false},
    {"XidTakenAsCommand", {0x02, 0x81, 0xAF}, TLapdSide::Network, false},
    {"AddressOnlyTakenAsCommand", {0x02}, TLapdSide::Network, false},
};

class FrameSenderTest : public testing::TestWithParam<TSenderCase> {};

TEST_P(FrameSenderTest, FollowsTheCommandResponseBit)
{
    const TSenderCase& c = GetParam();
    const auto sender = FrameSender(c.frame.data(), uint32_t(c.frame.size()));
    ASSERT_TRUE(sender);
    EXPECT_EQ(sender->Side, c.side);
    EXPECT_EQ(sender->Certain, c.certain);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameSenderTest, testing::ValuesIn(kSenders),
                         [](const testing::TestParamInfo<TSenderCase>& item) { return std::string(item.param.name); });

TEST(FrameSender, EmptyFrameHasNoSender)
{
    EXPECT_FALSE(FrameSender(nullptr, 0));
}

TEST(LapdSideGuess, TheFirstCertainFrameDecides)
{
    TLapdSideGuess guess;
    EXPECT_EQ(guess.ThisSide(), TLapdSide::User);
    const uint8_t rr[] = {0x02, 0x81, 0x01, 0x0A};       // uncertain: no decision
    const uint8_t fromNetwork[] = {0x02, 0x81, 0x02, 0x02}; // I frame from the network side
    guess.See(rr, sizeof rr, false);
    EXPECT_EQ(guess.ThisSide(), TLapdSide::User);
    // Sent by this side although it came from the network side: this side is the network.
    guess.See(fromNetwork, sizeof fromNetwork, true);
    EXPECT_EQ(guess.ThisSide(), TLapdSide::Network);
    const uint8_t fromUser[] = {0x00, 0x81, 0x02, 0x02};
    guess.See(fromUser, sizeof fromUser, true); // settled: no change
    EXPECT_EQ(guess.ThisSide(), TLapdSide::Network);
}

TEST(LinuxLapdHeader, CarriesDirectionAndSide)
{
    const TLinuxLapdHeader sent = LinuxLapdHeader(true, TLapdSide::User);
    const TLinuxLapdHeader received = LinuxLapdHeader(false, TLapdSide::Network);
    const TLinuxLapdHeader expectedSent = {0x00, 0x04, 0x20, 0xFD, 0x00, 0x01, 0x00, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30};
    EXPECT_EQ(sent, expectedSent);
    EXPECT_EQ(received[1], 0x00);
    EXPECT_EQ(received[6], 0x01);
    EXPECT_TRUE(LinuxLapdSent(sent.data()));
    EXPECT_FALSE(LinuxLapdSent(received.data()));
    // Broadcast, multicast and other-host packets were not sent by us.
    for (uint8_t type : {1, 2, 3}) {
        TLinuxLapdHeader other = received;
        other[1] = type;
        EXPECT_FALSE(LinuxLapdSent(other.data())) << int(type);
    }
}

} // namespace
