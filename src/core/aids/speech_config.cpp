#include "core/aids/speech_config.h"

#include <algorithm>
#include <array>

#include "core/config/record_file.h"
#include "core/platform/program_folder.h"

namespace quillon {

std::string CutGbk(const std::string& text, size_t maxBytes) {
    size_t n = 0;
    while (n < text.size()) {
        const size_t step = static_cast<unsigned char>(text[n]) > 0x7F ? 2 : 1;
        if (n + step > maxBytes) break;
        n += step;
    }
    return text.substr(0, std::min(n, text.size()));
}

TtsConfig LoadTtsConfig(const std::string& path) {
    std::array<unsigned char, TtsConfig::kRecordSize> raw{};
    TtsConfig defaults;
    PutInt32LE(raw.data(), defaults.rate);
    PutInt32LE(raw.data() + 4, static_cast<int32_t>(defaults.background));
    PutInt32LE(raw.data() + 8, static_cast<int32_t>(defaults.textColour));
    LoadRecordBytes(path, raw.data(), raw.size());
    TtsConfig config;
    config.rate = GetInt32LE(raw.data());
    if (config.rate < -10 || config.rate > 10) config.rate = 0;
    config.background = static_cast<uint32_t>(GetInt32LE(raw.data() + 4));
    config.textColour = static_cast<uint32_t>(GetInt32LE(raw.data() + 8));
    config.voiceId = CutGbk(GetCString(raw.data() + 12, TtsConfig::kVoiceIdField),
                            TtsConfig::kVoiceIdMax);
    return config;
}

bool SaveTtsConfig(const std::string& path, const TtsConfig& config) {
    std::array<unsigned char, TtsConfig::kRecordSize> raw{};
    const int32_t rate = config.rate < -10 || config.rate > 10 ? 10 : config.rate;
    PutInt32LE(raw.data(), rate);
    PutInt32LE(raw.data() + 4, static_cast<int32_t>(config.background));
    PutInt32LE(raw.data() + 8, static_cast<int32_t>(config.textColour));
    PutCString(raw.data() + 12, TtsConfig::kVoiceIdField,
               CutGbk(config.voiceId, TtsConfig::kVoiceIdMax));
    return SaveRecordBytes(path, raw.data(), raw.size());
}

std::string TtsConfigPath() { return GetProgramFolder() + "data/ttsconfig.dat"; }

}  // namespace quillon
