#pragma once
// The simulated network's supplementary services: it answers FACILITY_REQ
// with selector 3 (supported services, listen, hold, retrieve, explicit call
// transfer, call forwarding) and the diversion operations that arrive as a
// Facility element in INFO_REQ, and keeps call forwarding as real state.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace vsim {

class TLiveSupplementary {
public:
    // Every service, call forwarding included.
    static constexpr uint32_t kAllServices = 0x1FF;

    static TLiveSupplementary& Instance();

    // The mask from VESSIK_SIM_SERVICES (hex) or every service; no
    // forwarding set when the store is one VESSIK_SIM_FORWARDING names.
    void Reset();
    void SetServices(uint32_t mask);
    uint32_t Services();

    // True when the message was answered here.
    bool Request(uint32_t applId, const uint8_t* message, uint32_t length);

    struct TForwarding {
        uint16_t Procedure = 0;
        uint16_t BasicService = 0;
        std::string Served;
        std::string ForwardedTo;
    };
    std::vector<TForwarding> Forwardings();

private:
    TLiveSupplementary();
    // Mask and store file from the environment.
    void Configure();
    // Call forwarding outlives the process that set it, as a network's would:
    // it is kept in a file (VESSIK_SIM_FORWARDING, else one per user in the
    // runtime directory), read before and written after every request.
    void LoadLocked();
    void SaveLocked();
    bool Facility(uint32_t applId, const uint8_t* message, uint32_t length);
    bool InfoFacility(uint32_t applId, const uint8_t* message, uint32_t length);

    std::mutex m_lock;
    uint32_t m_services = kAllServices;
    std::vector<TForwarding> m_forwardings;
    std::string m_storeFile;
};

} // namespace vsim
