#include "core/aids/speech_engine.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>

#include "core/text/gbk_codec.h"

namespace quillon {

namespace {

enum class Output { None, Sound, Memory };

struct EngineState {
    std::recursive_mutex mutex;
    Output wanted = Output::Sound;
    Output current = Output::None;
    bool failed = false;
    int sampleRate = 22050;
    SpeechAudioSink sink;
};

EngineState& State() {
    static EngineState* state = new EngineState;  // outlives late speakers at exit
    return *state;
}

// What one Synth call needs inside the engine's callback.
struct CallContext {
    const std::atomic<bool>* cancel = nullptr;
    const SpeechWordEvent* onWord = nullptr;
};

int SynthCallback(short* wav, int count, espeak_EVENT* events) {
    CallContext* ctx = nullptr;
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        ctx = static_cast<CallContext*>(e->user_data);
        if (ctx && e->type == espeakEVENT_WORD && ctx->onWord && *ctx->onWord && e->length > 0)
            (*ctx->onWord)(std::max(0, e->text_position - 1), e->length);
    }
    EngineState& s = State();
    if (wav && count > 0 && s.current == Output::Memory && s.sink) s.sink(wav, count);
    // Returning 1 makes the engine abandon the text at once.
    if (ctx && ctx->cancel && ctx->cancel->load()) return 1;
    return 0;
}

// Called with the mutex held.
bool EnsureEngine() {
    EngineState& s = State();
    if (s.current == s.wanted) return !s.failed;
    if (s.current != Output::None) espeak_Terminate();
    const espeak_AUDIO_OUTPUT mode =
        s.wanted == Output::Memory ? AUDIO_OUTPUT_SYNCHRONOUS : AUDIO_OUTPUT_SYNCH_PLAYBACK;
    const int rate = espeak_Initialize(mode, 200, nullptr, 0);
    s.current = s.wanted;
    s.failed = rate <= 0;
    if (s.failed) return false;
    s.sampleRate = rate;
    espeak_SetSynthCallback(SynthCallback);
    return true;
}

bool IsAsciiLetter(unsigned char b) { return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z'); }

}  // namespace

void UseSpeechSoundDevice() {
    std::lock_guard lock(State().mutex);
    State().wanted = Output::Sound;
    State().sink = nullptr;
}

void UseSpeechMemoryOutput(SpeechAudioSink sink) {
    std::lock_guard lock(State().mutex);
    State().wanted = Output::Memory;
    State().sink = std::move(sink);
}

int SpeechSampleRate() {
    std::lock_guard lock(State().mutex);
    EnsureEngine();
    return State().sampleRate;
}

std::vector<std::string> ListVoiceIds() {
    std::lock_guard lock(State().mutex);
    std::vector<std::string> ids;
    if (!EnsureEngine()) return ids;
    const espeak_VOICE** voices = espeak_ListVoices(nullptr);
    for (int i = 0; voices && voices[i]; ++i)
        if (voices[i]->identifier) ids.emplace_back(voices[i]->identifier);
    return ids;
}

int PreferredEnglishVoice(const std::vector<std::string>& ids) {
    auto lastPart = [](const std::string& id) {
        std::string name = id.substr(id.rfind('/') + 1);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name;
    };
    for (const char* wanted : {"en-us", "en"})
        for (size_t i = 0; i < ids.size(); ++i)
            if (lastPart(ids[i]) == wanted) return static_cast<int>(i);
    return -1;
}

int WordsPerMinute(int rate) {
    rate = std::clamp(rate, -10, 10);
    const double wpm = 175.0 * std::pow(3.0, rate / 10.0);
    return std::clamp(static_cast<int>(std::lround(wpm)), 80, 500);
}

SpeakResult SpeakText(const std::string& voiceId, int rate, const std::string& gbkText,
                      const std::atomic<bool>* cancel, const SpeechWordEvent& onWord) {
    if (gbkText.empty()) return SpeakResult::Empty;
    EngineState& s = State();
    std::lock_guard lock(s.mutex);
    if (!EnsureEngine()) return SpeakResult::Failed;
    if (cancel && cancel->load()) return SpeakResult::Cancelled;

    // English text goes to the chosen voice; everything else (Chinese,
    // numbers, punctuation) to the Mandarin voice, whatever was chosen.
    const bool english = IsAsciiLetter(static_cast<unsigned char>(gbkText[0]));
    std::string voice = english ? voiceId : std::string(kChineseVoiceId);
    if (voice.empty() || espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        if (espeak_SetVoiceByName(kChineseVoiceId) != EE_OK) return SpeakResult::Failed;
    }
    espeak_SetParameter(espeakRATE, WordsPerMinute(rate), 0);

    const std::string utf8 = GbkToUtf8(gbkText);
    CallContext ctx{cancel, &onWord};
    const espeak_ERROR err = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                          espeakCHARS_UTF8, nullptr, &ctx);
    if (cancel && cancel->load()) return SpeakResult::Cancelled;
    return err == EE_OK ? SpeakResult::Spoken : SpeakResult::Failed;
}

}  // namespace quillon
