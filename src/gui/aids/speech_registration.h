#pragma once

namespace quillon {

// Gives every reading page that page hosts create its speech reading. Call
// once at start, after the reading panel is registered.
void RegisterSpeechReading();

}  // namespace quillon
