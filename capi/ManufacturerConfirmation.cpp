// TCapi20: MANUFACTURER_CONF. Only the KORVAN driver confirms with content:
// the B channel's audio format (kind 5) and a text (kind 9). A confirmation
// is not answered.

#include "CapiMessageReader.h"
#include "TFCapi20.h"

namespace {

constexpr uint32_t kManuKorvan = 0x56524F4B; // 'KORV'
constexpr uint8_t kAudioFormat = 5;
constexpr uint8_t kDriverText = 9;
constexpr uint16_t kInfoAudioFormat = 0xA004;
constexpr uint16_t kInfoConfirmationText = 0xA001;
constexpr uint16_t kNarrowbandRate = 8000;
constexpr uint8_t kLinearPcm = 1;

} // namespace

void TCapi20::ManufacturerConfirmation(const uint8_t* message)
{
    TCapiMessageReader reader;
    reader.Bind(message);
    const uint32_t controller = reader.ReadDword();
    if (reader.ReadDword() != kManuKorvan)
        return;
    const uint8_t kind = reader.ReadByte();
    if (kind == kAudioFormat) {
        bool linear = true;
        uint16_t rate = kNarrowbandRate;
        // Without format bytes the driver sends linear PCM at 8 kHz.
        if (reader.ReadByte() > 2) {
            linear = reader.ReadByte() == kLinearPcm;
            rate = reader.ReadWord();
        }
        // The PCM block follows the rate: the same stretch of time as one B3
        // block at 8 kHz. The data path reads the format on the receive thread.
        m_audioFormat.Announce(linear, rate, m_b3BlockSize);
        if (OnInfo)
            OnInfo(controller, kInfoAudioFormat, QString());
    } else if (kind == kDriverText) {
        const QString text = reader.ReadText(reader.ReadByte());
        if (OnInfo)
            OnInfo(controller, kInfoConfirmationText, text);
    }
}
