#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// The speech settings of data/ttsconfig.dat: a 512-byte little-endian
// record written and read whole. `voiceId` is the speech engine's own voice
// identifier (GBK bytes, at most 300 of them kept).
struct TtsConfig {
    static constexpr size_t kRecordSize = 512;
    static constexpr size_t kVoiceIdField = 500;
    static constexpr size_t kVoiceIdMax = 300;

    int32_t rate = 0;                  // -10 (slowest) to 10 (fastest)
    uint32_t background = 0x00008000;  // behind the unit being spoken
    uint32_t textColour = 0x00FFFFFF;  // the unit being spoken
    std::string voiceId;
};

// A missing or short file leaves the defaults; a stored rate outside
// -10..10 reads as 0, and a voice identifier is cut to 300 bytes (never
// inside a two-byte character).
TtsConfig LoadTtsConfig(const std::string& path);
// A rate outside -10..10 is stored as 10. False when the file cannot be
// written; the caller keeps using the settings for the run.
bool SaveTtsConfig(const std::string& path, const TtsConfig& config);

std::string TtsConfigPath();  // <program folder>data/ttsconfig.dat

// Cuts GBK `text` to at most `maxBytes` bytes without splitting a character.
std::string CutGbk(const std::string& text, size_t maxBytes);

}  // namespace quillon
