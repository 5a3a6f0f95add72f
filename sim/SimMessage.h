#pragma once
// Builds a CAPI message the simulated card sends: header, little-endian
// words and dwords, length-prefixed structs; Bytes() sets the Length field.

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace vsim {

class TSimMessage {
public:
    TSimMessage(uint8_t command, uint8_t subcommand, uint16_t number)
        : m_bytes{0, 0, 0, 0, command, subcommand, uint8_t(number), uint8_t(number >> 8)}
    {
    }
    TSimMessage& Byte(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    TSimMessage& Word(uint16_t value) { return Byte(uint8_t(value)).Byte(uint8_t(value >> 8)); }
    TSimMessage& Dword(uint32_t value) { return Word(uint16_t(value)).Word(uint16_t(value >> 16)); }
    TSimMessage& Octets(std::initializer_list<uint8_t> octets)
    {
        m_bytes.insert(m_bytes.end(), octets.begin(), octets.end());
        return *this;
    }
    TSimMessage& Octets(std::string_view text)
    {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    TSimMessage& Octets(const std::vector<uint8_t>& octets)
    {
        m_bytes.insert(m_bytes.end(), octets.begin(), octets.end());
        return *this;
    }
    TSimMessage& Struct(const std::vector<uint8_t>& contents)
    {
        Byte(uint8_t(contents.size()));
        return Octets(contents);
    }
    TSimMessage& EmptyStruct() { return Byte(0); }
    const std::vector<uint8_t>& Bytes()
    {
        m_bytes[0] = uint8_t(m_bytes.size());
        m_bytes[1] = uint8_t(m_bytes.size() >> 8);
        return m_bytes;
    }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace vsim
