#include "AudioFile.h"

#include <QFile>

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace vaudio {

namespace {
// Frames read from the file per pass.
constexpr sf_count_t kChunkFrames = 4096;

// The inverse of libsndfile's scaling, so 16-bit input comes back unchanged.
int16_t ToSample(float value)
{
    return int16_t(std::clamp(std::lrint(double(value) * 32768.0), -32768L, 32767L));
}
} // namespace

bool ReadMono(const QString& path, int rate, std::vector<int16_t>& samples, QString& error)
{
    samples.clear();
    SF_INFO info = {};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (file == nullptr) {
        error = QString::fromUtf8(sf_strerror(nullptr));
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        error = QStringLiteral("no audio in the file");
        return false;
    }
    std::vector<float> mono;
    std::vector<float> chunk(size_t(kChunkFrames) * size_t(info.channels));
    for (;;) {
        const sf_count_t frames = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (frames <= 0)
            break;
        for (sf_count_t frame = 0; frame < frames; ++frame) {
            float sum = 0;
            for (int channel = 0; channel < info.channels; ++channel)
                sum += chunk[size_t(frame) * size_t(info.channels) + size_t(channel)];
            mono.push_back(sum / float(info.channels));
        }
    }
    sf_close(file);
    if (info.samplerate != rate && !mono.empty()) {
        const double ratio = double(rate) / double(info.samplerate);
        std::vector<float> converted(size_t(std::ceil(double(mono.size()) * ratio)) + 16);
        SRC_DATA data = {};
        data.data_in = mono.data();
        data.input_frames = long(mono.size());
        data.data_out = converted.data();
        data.output_frames = long(converted.size());
        data.src_ratio = ratio;
        const int result = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1);
        if (result != 0) {
            error = QString::fromUtf8(src_strerror(result));
            return false;
        }
        converted.resize(size_t(data.output_frames_gen));
        mono.swap(converted);
    }
    samples.reserve(mono.size());
    for (float value : mono)
        samples.push_back(ToSample(value));
    return true;
}

TWavWriter::~TWavWriter()
{
    Close();
}

bool TWavWriter::Open(const QString& path, int rate, QString& error)
{
    Close();
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    m_frames = 0;
    if (m_file == nullptr) {
        error = QString::fromUtf8(sf_strerror(nullptr));
        return false;
    }
    return true;
}

void TWavWriter::Write(const int16_t* samples, size_t count)
{
    if (m_file == nullptr || count == 0)
        return;
    m_frames += uint64_t(sf_writef_short(m_file, samples, sf_count_t(count)));
}

void TWavWriter::Close()
{
    if (m_file != nullptr)
        sf_close(m_file);
    m_file = nullptr;
}

} // namespace vaudio
