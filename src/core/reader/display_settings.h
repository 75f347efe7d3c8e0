#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/messenger.h"

namespace quillon {

// How the reading page looks, stored as data/showcfg3.dat: a raw record of
// exactly 6,116 bytes, little-endian, without header or version. A missing
// or short file leaves the defaults of every byte it does not reach.

// Vertical resolution assumed for the default font height when the screen's
// is not known.
inline constexpr int kDefaultDpi = 96;

// The reading font as the 60-byte font description of the record: five
// 32-bit fields, eight byte fields and a 32-byte zero-terminated face name
// (GBK). Every byte round-trips unchanged, also bytes after the face's NUL,
// so a record written by another version comes back as it was.
struct FontRecord final {
    static constexpr size_t kSize = 60;
    static constexpr size_t kFaceSize = 32;

    int32_t height = 0;  // negative: character height in pixels
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;  // 0 default, 400 normal, 700 bold
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::array<unsigned char, kFaceSize> faceName{};

    // The face name up to its NUL (GBK).
    std::string Face() const;
    // Stores `face` cut to 31 bytes on a character boundary, zero-filled.
    void SetFace(std::string_view face);

    void ToBytes(unsigned char* p) const;
    void FromBytes(const unsigned char* p);

    bool operator==(const FontRecord&) const = default;
};

// 22 points at `verticalDpi`, face "宋体", everything else 0.
FontRecord DefaultReadingFont(int verticalDpi = kDefaultDpi);

// The 6,028-byte tail of the record.
struct ExtraSettings final {
    static constexpr size_t kSize = 6028;
    static constexpr size_t kPictureSlots = 20;
    static constexpr size_t kPictureNameSize = 300;

    int32_t showShadow = 1;
    int32_t shadowDx = 2;
    int32_t shadowDy = 1;
    uint32_t shadowColour = 0x00000000;
    int32_t showPicture = 0;
    int32_t pictureMode = 1;   // 0 stretch, 1 tile, 2 centre
    int32_t pictureOrder = 0;  // 0 first picture only, 1 in turn, 2 at random
    // File names (no folder) in data/bkimg/, in the file system's encoding;
    // an empty slot is a gap.
    std::array<std::string, kPictureSlots> pictures;

    bool operator==(const ExtraSettings&) const = default;
};

// Colours are 0x00BBGGRR: red in the low byte.
struct DisplaySettings final {
    static constexpr size_t kRecordSize = 6116;

    FontRecord font = DefaultReadingFont();
    uint32_t textColour = 0x000000FF;
    uint32_t backColour = 0x00A0A0A0;
    int32_t charSpacing = 16;
    int32_t lineSpacing = 40;
    int32_t showRowNumbers = 0;
    uint32_t selTextColour = 0x00FFFFFF;
    uint32_t selBackColour = 0x00FF0000;
    ExtraSettings extra;

    // The defaults, with the font height for `verticalDpi`.
    static DisplaySettings Defaults(int verticalDpi = kDefaultDpi);

    // The record's bytes in file order.
    std::string ToRecord() const;
    // Reads the first `size` bytes of a record over the current values; the
    // fields (and bytes of a field) beyond `size` keep theirs.
    void FromRecord(const unsigned char* bytes, size_t size);

    // Defaults, then the file laid over them. No value is range-checked.
    void Load(const std::string& path, int verticalDpi = kDefaultDpi);
    // Replaces the file whole; false when it cannot be written.
    bool Save(const std::string& path) const;

    bool operator==(const DisplaySettings&) const = default;
};

// <program folder>data/showcfg3.dat
std::string DisplaySettingsPath();
DisplaySettings LoadDisplaySettings(int verticalDpi = kDefaultDpi);
bool SaveDisplaySettings(const DisplaySettings& settings);

// The record as last loaded or saved by the program, shared by every reading
// page that opens after it.
DisplaySettings& ProgramDisplaySettings();

// ---- Colour text of the settings dialog ----

inline uint32_t MakeColour(int red, int green, int blue) {
    return static_cast<uint32_t>(red & 0xFF) | (static_cast<uint32_t>(green & 0xFF) << 8) |
           (static_cast<uint32_t>(blue & 0xFF) << 16);
}
inline int ColourRed(uint32_t c) { return static_cast<int>(c & 0xFF); }
inline int ColourGreen(uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int ColourBlue(uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }

// "RGB(r,g,b)".
std::string FormatColour(uint32_t colour);

// The colour a typed text stands for: upper-cased, every "RGB(" deleted,
// then three decimal numbers separated by bare commas are read; reading
// stops at the first mismatch and numbers not read count 0; each keeps its
// low eight bits. Whatever follows the third number is ignored.
uint32_t ParseColour(std::string_view text);

// ---- Collecting the dialog's values ----

// A spacing box: its decimal value (atoi's reading), or 14 when that is not
// within 1-100.
int32_t SpacingFromText(std::string_view text);
// An offset box: its decimal value, unchecked (non-digits read as 0).
int32_t DecimalFromText(std::string_view text);

// What the dialog holds when "apply" or "save" is pressed. Colours are kept
// as values: the dialog re-parses a colour box at every change and the
// picker sets the value directly.
struct DisplaySettingsForm {
    FontRecord font;
    uint32_t textColour = 0;
    uint32_t backColour = 0;
    uint32_t selTextColour = 0;
    uint32_t selBackColour = 0;
    uint32_t shadowColour = 0;
    std::string charSpacing;
    std::string lineSpacing;
    std::string shadowDx;
    std::string shadowDy;
    bool showRowNumbers = false;
    bool showShadow = false;
    bool showPicture = false;
    int pictureMode = 0;
    int pictureOrder = 0;
    std::vector<std::string> pictures;  // the picture list, in list order
};

// The dialog's starting values: spacing and offsets as "%d", the non-empty
// picture slots in slot order.
DisplaySettingsForm FormFromSettings(const DisplaySettings& settings);

// The record the dialog's values make (it is not saved here): spacing out
// of 1-100 becomes 14; picture slots are rebuilt from the list.
DisplaySettings CollectDisplaySettings(const DisplaySettingsForm& form);

// ---- One-click looks ----

// 日间 dark text on warm white, 夜间 light grey on near black, 护眼 dark on
// soft green, 羊皮纸 dark brown on parchment.
enum class ColourPreset { Day, Night, EyeCare, Parchment };
inline constexpr ColourPreset kColourPresets[] = {ColourPreset::Day, ColourPreset::Night,
                                                  ColourPreset::EyeCare, ColourPreset::Parchment};

// Sets the text, background, selection and shadow colours and the shadow
// switch of `form`; font, spacing and pictures stay.
void ApplyColourPreset(DisplaySettingsForm& form, ColourPreset preset);

// ---- Background pictures ----

// <program folder>data/bkimg/
std::string PictureFolder();

// Slot i holds list entry i when data/bkimg/<entry> exists; otherwise, and
// beyond the list or the 20th entry, the slot is empty. A picture whose file
// has gone therefore leaves a gap at its place.
std::array<std::string, ExtraSettings::kPictureSlots> RebuildPictureSlots(
    const std::vector<std::string>& list);

// Before the file picker opens: false, after telling the user, when the list
// already holds 20 pictures.
bool CanAddPicture(const std::vector<std::string>& list, Messenger& messenger);

// After the picker returned `chosenPath` (UTF-8): refuses a name already in
// the list (letter case ignored), else copies the file into data/bkimg/ and
// appends its name. The copy's own failure is not reported: the name then
// drops out at the next collection. True when the name was appended.
bool AddPicture(std::vector<std::string>& list, const std::string& chosenPath, Messenger& messenger);

// Removes list entry `selected` (-1: nothing selected, which is reported);
// the file in data/bkimg/ stays.
bool DeletePicture(std::vector<std::string>& list, int selected, Messenger& messenger);

}  // namespace quillon
