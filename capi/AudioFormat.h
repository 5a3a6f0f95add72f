#pragma once
// TAudioFormat: the B-channel audio format. The receive thread reads it for
// every data block while the main thread sets it from a manufacturer
// confirmation, so every field is an atomic of its own; a reader sees each
// field either before or after a change, never torn.

#include <atomic>
#include <cstdint>

class TAudioFormat {
public:
    static constexpr uint16_t kDefaultSampleRate = 8000;

    explicit TAudioFormat(uint32_t pcmBlockSize) : m_pcmBlockSize(pcmBlockSize) {}

    bool LinearPCMData() const { return m_linearPCMData.load(std::memory_order_relaxed); }
    uint16_t SampleRate() const { return m_sampleRate.load(std::memory_order_relaxed); }
    // Size of the blocks taken from a call's send FIFO.
    uint32_t PcmBlockSize() const { return m_pcmBlockSize.load(std::memory_order_relaxed); }

    void SetLinearPCMData(bool value) { m_linearPCMData.store(value, std::memory_order_relaxed); }
    void SetPcmBlockSize(uint32_t value) { m_pcmBlockSize.store(value, std::memory_order_relaxed); }

    // The defaults a newly opened device starts with; the PCM block size stays.
    void Reset()
    {
        SetLinearPCMData(false);
        m_sampleRate.store(kDefaultSampleRate, std::memory_order_relaxed);
    }

    // A format announced by the driver: a rate below 8000 Hz counts as 8000,
    // and the PCM block size follows the rate.
    void Announce(bool linearPCMData, uint16_t sampleRate, uint32_t b3BlockSize)
    {
        if (sampleRate < kDefaultSampleRate)
            sampleRate = kDefaultSampleRate;
        SetLinearPCMData(linearPCMData);
        m_sampleRate.store(sampleRate, std::memory_order_relaxed);
        SetPcmBlockSize(BlockSizeFor(sampleRate, b3BlockSize));
    }

    // The B3 block size scaled to the rate, rounded down to a multiple of 32.
    static constexpr uint32_t BlockSizeFor(uint16_t sampleRate, uint32_t b3BlockSize)
    {
        return uint32_t(uint64_t(sampleRate) * b3BlockSize / kDefaultSampleRate) & ~uint32_t(31);
    }

private:
    std::atomic<bool> m_linearPCMData{false};
    std::atomic<uint16_t> m_sampleRate{kDefaultSampleRate};
    std::atomic<uint32_t> m_pcmBlockSize;
};
