#include "CauseDecoder.h"
#include "ElementTestSupport.h"
#include "ProgressDecoders.h"
#include "ServiceDecoders.h"

#include <gtest/gtest.h>

namespace {

QString Llc(TDecodeTree* tree, TNodeId parent, const uint8_t* contents, uint32_t count)
{
    bool wideband = true; // must be reset by the decoder
    return DecodeLowLayerCompatibility(tree, parent, contents, count, wideband);
}

bool Wideband(std::string_view hex)
{
    const std::vector<uint8_t> o = Octets(hex);
    bool wideband = !o.empty(); // poisoned either way
    DecodeLowLayerCompatibility(nullptr, kTopLevel, o.data(), uint32_t(o.size()), wideband);
    return wideband;
}

TEST(BearerCapability, Cases)
{
    struct {
        const char* contents;
        QStringList lines;
    } const cases[] = {
        {"80 90 A3",
         {"coding standard: CCITT", "speech", "transfer mode: circuit", "information transfer rate: 64 kbit/s",
          "user information layer 1 protocol: recommendation G.711 A-law"}},
        {"88 90", {"coding standard: CCITT", "unrestricted digital information", "transfer mode: circuit",
                   "information transfer rate: 64 kbit/s"}},
        {"81 90 A3", {"coding standard: CCITT", "transfer mode: circuit", "information transfer rate: 64 kbit/s",
                      "user information layer 1 protocol: recommendation G.711 A-law"}},
        {"80 C0 A3", {"coding standard: CCITT", "speech", "transfer mode: packet",
                      "user information layer 1 protocol: recommendation G.711 A-law"}},
        {"F1 B8 A5", {"coding standard: Standard defined for the network (either public or private) present on the "
                      "network side of the interface ",
                      "7 kHz audio", "information transfer rate: multirate (64 kbit/s base rate)",
                      "user information layer 1 protocol: recommendation G.722 and G.725 7 kHz audio"}},
        {"90", {"coding standard: CCITT", "3.1 kHz audio"}},
        {"A8", {"coding standard: ISO/IEC", "unrestricted digital information"}},
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(DecodeBearerCapability, c.contents);
        EXPECT_EQ(d.lines.mid(1), c.lines) << c.contents;
        EXPECT_TRUE(d.text.isEmpty());
        EXPECT_TRUE(d.textNoTree.isEmpty());
    }
    EXPECT_EQ(DecodeHex(DecodeBearerCapability, "").lines, QStringList({""}));
}

TEST(LowLayerCompatibility, LinesTextAndWideband)
{
    struct {
        const char* contents;
        QStringList lines;
        const char* text;
        bool wideband;
    } const cases[] = {
        {"91", {"coding standard: CCITT", "transfer capability: 7 kHz audio"}, "transfer capability: 7 kHz audio",
         true},
        {"91 90 A2",
         {"coding standard: CCITT", "transfer capability: 7 kHz audio", "circuit mode", "transfer rate: 64 kbit/s",
          "G.711 µ-law"},
         "transfer capability: 7 kHz audio", false},
        {"80 90 A5",
         {"coding standard: CCITT", "transfer capability: speech", "circuit mode", "transfer rate: 64 kbit/s",
          "G.722 and G.725 7 kHz audio"},
         "transfer capability: speech", true},
        {"08 55 90 A3",
         {"coding standard: CCITT", "transfer capability: unrestricted digital information", "circuit mode",
          "transfer rate: 64 kbit/s", "G.711 A-law"},
         "transfer capability: unrestricted digital information", false},
        {"80 10 55 A3",
         {"coding standard: CCITT", "transfer capability: speech", "circuit mode", "transfer rate: 64 kbit/s",
          "G.711 A-law"},
         "transfer capability: speech", false},
        {"A5 E1 AF",
         {"coding standard: reserved international", "unknown", "unknown mode", "transfer rate: unknown",
          "unknown protocol"},
         "unknown", false},
        {"E8 C0", {"coding standard: Standard defined for the network (either public or private) present on the "
                   "network side of the interface",
                   "transfer capability: unrestricted digital information", "packet mode", "transfer rate: packet"},
         "transfer capability: unrestricted digital information", false},
        {"11", {"coding standard: CCITT", "transfer capability: 7 kHz audio"}, "transfer capability: 7 kHz audio",
         true}, // octet 3a announced but missing
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(Llc, c.contents);
        EXPECT_EQ(d.lines.mid(1), c.lines) << c.contents;
        EXPECT_EQ(d.text, c.text) << c.contents;
        EXPECT_EQ(d.textNoTree, c.text) << c.contents;
        EXPECT_EQ(Wideband(c.contents), c.wideband) << c.contents;
    }
    EXPECT_FALSE(Wideband(""));
    EXPECT_EQ(DecodeHex(Llc, "").lines, QStringList({""}));
}

TEST(HighLayerCompatibility, Characteristics)
{
    struct {
        const char* contents;
        const char* text;
    } const cases[] = {
        {"91 81", "telephony"},
        {"91 82", "unknown"},
        {"91 84", "facsimile Group 2/3"},
        {"91 DF", "reserved for management"},
        {"91", "unknown"}, // no characteristics octet
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(DecodeHighLayerCompatibility, c.contents);
        EXPECT_EQ(d.lines.mid(1), QStringList({"coding standard: CCITT", c.text})) << c.contents;
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.textNoTree, c.text);
    }
    EXPECT_EQ(DecodeHex(DecodeHighLayerCompatibility, "").lines, QStringList({""}));
}

TEST(ProgressIndicator, Cases)
{
    EXPECT_EQ(DecodeHex(DecodeProgressIndicator, "82 88").lines.mid(1),
              QStringList({"coding standard: CCITT", "location: public network serving the local user",
                           "in-band information or an appropriate pattern is now available"}));
    EXPECT_EQ(DecodeHex(DecodeProgressIndicator, "86 88").lines.mid(1),
              QStringList({"coding standard: CCITT", "in-band information or an appropriate pattern is now available"}));
    EXPECT_EQ(DecodeHex(DecodeProgressIndicator, "E0 81").lines.mid(1),
              QStringList({"coding standard: specific to identified location", "location: user",
                           "call is not end-to-end ISDN; further call progress information may be available in-band"}));
    // One octet: no description line.
    EXPECT_EQ(DecodeHex(DecodeProgressIndicator, "8A").lines.mid(1),
              QStringList({"coding standard: CCITT", "location: network beyond interworking point"}));
    EXPECT_TRUE(DecodeHex(DecodeProgressIndicator, "82 88").text.isEmpty());
}

TEST(Cause, Cases)
{
    struct {
        const char* contents;
        QStringList lines;
        const char* text;
    } const cases[] = {
        {"80 90", {"coding standard: CCITT", "location: user", "16:Normal call clearing"}, "16:Normal call clearing"},
        {"00 83 90", {"coding standard: CCITT", "location: user", "recommendation: X.21", "16:Normal call clearing"},
         "16:Normal call clearing"},
        {"80 10", {"coding standard: CCITT", "location: user", ""}, ""},
        {"82 9A", {"coding standard: CCITT", "location: public network serving the local user",
                   "26:Non-selected user clearing"}, "26:Non-selected user clearing"},
        {"02 80 91", {"coding standard: CCITT", "location: public network serving the local user",
                      "recommendation: Q.931", "17:User busy"}, "17:User busy"},
        {"86 FF 01 02", {"coding standard: CCITT", "127:Interworking, unspecified"}, "127:Interworking, unspecified"},
        // Ends before the cause value: an empty cause line.
        {"80", {"coding standard: CCITT", "location: user", ""}, ""},
        {"00 83", {"coding standard: CCITT", "location: user", "recommendation: X.21", ""}, ""},
    };
    for (const auto& c : cases) {
        const TDecoded d = DecodeHex(DecodeCause, c.contents);
        EXPECT_EQ(d.lines.mid(1), c.lines) << c.contents;
        EXPECT_EQ(d.text, c.text) << c.contents;
        EXPECT_EQ(d.textNoTree, c.text) << c.contents;
    }
}

TEST(CauseText, WholeOctetLookUp)
{
    EXPECT_EQ(CauseText(0x90), "16:Normal call clearing");
    EXPECT_EQ(CauseText(0x10), "");
    EXPECT_EQ(CauseText(0x81), "1:Unallocated (unassigned) number");
    EXPECT_EQ(CauseText(0xE4), "100:Invalid information element contents");
    EXPECT_EQ(CauseText(0x80), "");
    EXPECT_EQ(CauseText(0xFE), "");
}

TEST(CallState, Cases)
{
    const TDecoded active = DecodeHex(DecodeCallState, "4A");
    EXPECT_EQ(active.lines, QStringList({"4A ", "coding standard: ISO/IEC", "call state value: active"}));
    EXPECT_EQ(active.text, "active");
    EXPECT_EQ(active.textNoTree, "active");
    EXPECT_EQ(DecodeHex(DecodeCallState, "05").text, "unknown");
    EXPECT_EQ(DecodeHex(DecodeCallState, "05").lines.last(), "call state value: unknown");
    EXPECT_EQ(DecodeHex(DecodeCallState, "FE").lines.mid(1),
              QStringList({"coding standard: specific to identified location", "call state value: restart"}));
    EXPECT_EQ(DecodeHex(DecodeCallState, "1F").text, "call independent service");
    EXPECT_TRUE(DecodeHex(DecodeCallState, "").text.isEmpty());
}

TEST(CipName, Table)
{
    EXPECT_EQ(CipName(0), "no predefined profile");
    EXPECT_EQ(CipName(1), "speech");
    EXPECT_EQ(CipName(16), "telephony");
    EXPECT_EQ(CipName(21), "teletex");
    EXPECT_EQ(CipName(28), "video telephony (second connection)");
    for (uint16_t v : {10, 15, 29, 0xFFFF})
        EXPECT_TRUE(CipName(v).isEmpty()) << v;
}

} // namespace
