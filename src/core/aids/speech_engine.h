#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

// The speech engine (espeak-ng) is one instance per process with global
// state, so every use goes through here and is serialised: the settings
// dialog, page reading and spoken words may all want it at once.

// Where synthesised audio goes. Sound: the engine plays it to the sound
// device and speaking returns when it has been played. Memory: samples
// (16-bit mono at SpeechSampleRate()) are handed to the sink instead, which
// is how tests and machines without sound hear it.
using SpeechAudioSink = std::function<void(const int16_t* samples, int count)>;
void UseSpeechSoundDevice();
void UseSpeechMemoryOutput(SpeechAudioSink sink);
int SpeechSampleRate();

// Identifiers of the installed voices in the engine's order ("sit/cmn").
std::vector<std::string> ListVoiceIds();

// The voice to offer when none was ever chosen: English text is what the
// chosen voice reads, so American English ("en-us"), else English ("en"),
// matched on the identifier's last part without regard to case. -1 when
// neither is installed.
int PreferredEnglishVoice(const std::vector<std::string>& ids);

// The voice used when none is chosen or the chosen one is gone, and for
// every text that does not start with an English letter.
inline constexpr const char* kChineseVoiceId = "sit/cmn";

// A word the engine has reached: UTF-8 characters [first, first + count) of
// the text being spoken, counted from 0.
using SpeechWordEvent = std::function<void(int first, int count)>;

enum class SpeakResult { Spoken, Empty, Cancelled, Failed };

// The one rule every text is spoken by. `gbkText` is GBK: empty is not
// spoken; a text starting with an ASCII letter is spoken with `voiceId`
// (the default voice when empty or not installed), anything else with the
// Mandarin voice. `rate` is -10..10. Blocks until spoken, or until `cancel`
// becomes true, which stops the engine within a few milliseconds.
SpeakResult SpeakText(const std::string& voiceId, int rate, const std::string& gbkText,
                      const std::atomic<bool>* cancel = nullptr,
                      const SpeechWordEvent& onWord = {});

// Words per minute for a rate of -10..10: 0 is the engine's normal pace,
// each end three times slower or faster, within what the engine accepts.
int WordsPerMinute(int rate);

}  // namespace quillon
