#include "gui/aids/speech_registration.h"

#include "gui/aids/speech_reading.h"
#include "gui/reader/reading_page.h"
#include "gui/shell/panel_factories.h"

namespace quillon {

void RegisterSpeechReading() {
    ReadingPanelFactory inner = GetReadingPanelFactory();
    if (!inner) return;
    SetReadingPanelFactory([inner](BrowserPage* host) {
        ReadingPanelBinding binding = inner(host);
        if (auto* page = qobject_cast<ReadingPage*>(binding.widget)) AttachSpeechReading(*page);
        return binding;
    });
}

}  // namespace quillon
