#pragma once
// Audio files through libsndfile: a greeting read from any format the library
// knows (WAV, AIFF, FLAC, ...) as mono 16-bit samples at the B channel's rate,
// and recordings written as 16-bit PCM WAV files.

#include <QString>

#include <cstdint>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace vaudio {

// Reads the whole file, mixes its channels and converts it to the given rate.
// False with a reason in error when the file cannot be read.
bool ReadMono(const QString& path, int rate, std::vector<int16_t>& samples, QString& error);

// A mono 16-bit PCM WAV file written as the samples come.
class TWavWriter {
public:
    TWavWriter() = default;
    TWavWriter(const TWavWriter&) = delete;
    TWavWriter& operator=(const TWavWriter&) = delete;
    ~TWavWriter();

    bool Open(const QString& path, int rate, QString& error);
    void Write(const int16_t* samples, size_t count);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }
    uint64_t Frames() const { return m_frames; }

private:
    SNDFILE* m_file = nullptr;
    uint64_t m_frames = 0;
};

} // namespace vaudio
