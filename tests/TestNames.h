#pragma once
// Readable names for parameterised cases: ctest lists "Table/Routing.X/Command_05_83_0"
// instead of a dump of the parameter's bytes.

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

// The text with every run of other characters turned into one '_', then the
// case's index, which keeps names unique ("empty" stands for no text).
inline std::string CaseName(std::string_view text, size_t index)
{
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    if (name.empty())
        name = "empty_";
    else if (name.back() != '_')
        name += '_';
    return name + std::to_string(index);
}

// Two upper-case hex digits.
inline std::string HexOctet(unsigned char octet)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[octet >> 4], kDigits[octet & 0x0F]};
}

template <typename Octets>
std::string HexOctets(const Octets& octets)
{
    std::string text;
    for (const auto octet : octets)
        text += HexOctet(static_cast<unsigned char>(octet)) + " ";
    return text;
}
