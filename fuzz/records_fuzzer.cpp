// Loads arbitrary bytes as each fixed-size settings record (display, window,
// speech, downloader), saves what was read and reads it again: the second
// load gives the same settings, and saving them again the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/aids/speech_config.h"
#include "core/config/window_config.h"
#include "core/downloader/downloader_settings.h"
#include "core/reader/display_settings.h"
#include "fuzz_support.h"

namespace {

using namespace quillon;
using fuzz::Check;

// Load, save, load, save: the two saved files must be equal.
template <typename LoadSave>
void CheckStable(std::string_view bytes, const std::string& name, LoadSave loadSave) {
    const std::string in = fuzz::WriteScratch(name, bytes);
    const std::string once = fuzz::ScratchFolder() + name + ".1";
    const std::string twice = fuzz::ScratchFolder() + name + ".2";
    loadSave(in, once);
    loadSave(once, twice);
    Check(fuzz::ReadScratch(once) == fuzz::ReadScratch(twice));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    DisplaySettings display;
    display.FromRecord(data, size);
    DisplaySettings again;
    const std::string record = display.ToRecord();
    again.FromRecord(reinterpret_cast<const unsigned char*>(record.data()), record.size());
    Check(again == display);
    Check(again.ToRecord() == record);

    CheckStable(bytes, "gconfig.dat", [](const std::string& from, const std::string& to) {
        WindowConfig c;
        c.Load(from);
        Check(c.Save(to));
    });
    CheckStable(bytes, "ttsconfig.dat", [](const std::string& from, const std::string& to) {
        Check(SaveTtsConfig(to, LoadTtsConfig(from)));
    });
    CheckStable(bytes, "config.dat", [](const std::string& from, const std::string& to) {
        DownloaderSettings s;
        s.Load(from);
        Check(s.Save(to) == 0);
    });
    return 0;
}
