#pragma once

// TkaWaveFormat: a WAVEFORMATEX and its extra bytes in a fixed 512-byte buffer, in the
// form the codec and device services take directly. Stored as one 512-byte binary
// property "FormatBuffer".

#include "platform/MMSystem.h"
#include "rtl/Persistent.h"

#include <cstddef>
#include <cstdint>

class TkaWaveFormat : public rtl::TPersistent {
public:
    static constexpr size_t BufferSize = 512;
    static constexpr size_t HeaderSize = 18;                          // sizeof(WAVEFORMATEX)
    static constexpr uint16_t MaxExtraSize = BufferSize - HeaderSize; // 494

    // Zero-filled, then the defaults (PCM, 2 channels, 11025 Hz, 8 bit).
    TkaWaveFormat();
    TkaWaveFormat(const TkaWaveFormat&) = default;
    TkaWaveFormat& operator=(const TkaWaveFormat&) = default;

    std::string ClassName() const override { return "TkaWaveFormat"; }
    void DefineProperties(rtl::TFiler& filer) override;

    // True exactly when all 512 bytes are equal, extra bytes beyond ExtraSize included.
    virtual bool IsEqual(const TkaWaveFormat& other) const;
    // PCM, 2 channels, 11025 Hz, 22050 bytes/s, block 2, 8 bit, no extra bytes.
    // The extra bytes themselves are left as they are.
    virtual void SetDefaults();

    // Becomes the PCM format the codec service proposes for converting `source`.
    // Raises EACMConversionError (the service's code, or "Conversion not possible.")
    // and stays unchanged when there is none.
    void SuggestPCM(const TkaWaveFormat& source);

    // Each setter stores exactly the value given; nothing derived is recomputed.
    uint16_t FormatTag() const { return Get16(0); }
    void SetFormatTag(uint16_t value) { Set16(0, value); }
    uint16_t Channels() const { return Get16(2); }
    void SetChannels(uint16_t value) { Set16(2, value); }
    uint32_t SamplesPerSec() const { return Get32(4); }
    void SetSamplesPerSec(uint32_t value) { Set32(4, value); }
    uint32_t AvgBytesPerSec() const { return Get32(8); }
    void SetAvgBytesPerSec(uint32_t value) { Set32(8, value); }
    uint16_t BlockAlign() const { return Get16(12); }
    void SetBlockAlign(uint16_t value) { Set16(12, value); }
    uint16_t BitsPerSample() const { return Get16(14); }
    void SetBitsPerSample(uint16_t value) { Set16(14, value); }
    // cbSize, capped at 494 when the stored value would not fit the buffer.
    uint16_t ExtraSize() const;
    // Raises EACMError "The wave format buffer is too small." above 494.
    void SetExtraSize(uint16_t value);

    // The buffer as the services take it; valid as long as this object.
    WAVEFORMATEX* WaveFormatEx() { return reinterpret_cast<WAVEFORMATEX*>(buffer_); }
    const WAVEFORMATEX* WaveFormatEx() const { return reinterpret_cast<const WAVEFORMATEX*>(buffer_); }
    uint8_t* Buffer() { return buffer_; }
    const uint8_t* Buffer() const { return buffer_; }

protected:
    // Copies the whole buffer into another TkaWaveFormat; does nothing for other targets.
    void AssignTo(rtl::TPersistent* dest) const override;

private:
    uint16_t Get16(size_t at) const;
    uint32_t Get32(size_t at) const;
    void Set16(size_t at, uint16_t value);
    void Set32(size_t at, uint32_t value);

    alignas(8) uint8_t buffer_[BufferSize];
};

// Whether the codec service could open a direct conversion stream from src to dst.
// Asks only; opens nothing and raises nothing.
bool CanConvert(const TkaWaveFormat& src, const TkaWaveFormat& dst, bool realTime);
