#include "core/reader/display_settings.h"

#include <cstring>
#include <filesystem>
#include <limits>

#include "core/config/record_file.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/byte_string.h"
#include "core/text/gbk_literal.h"

namespace quillon {

namespace {

// Offsets of the record, in file order.
constexpr size_t kFont = 0;
constexpr size_t kTextColour = 60;
constexpr size_t kBackColour = 64;
constexpr size_t kCharSpacing = 68;
constexpr size_t kLineSpacing = 72;
constexpr size_t kShowRowNumbers = 76;
constexpr size_t kSelTextColour = 80;
constexpr size_t kSelBackColour = 84;
constexpr size_t kExtra = 88;
constexpr size_t kShowShadow = kExtra + 0;
constexpr size_t kShadowDx = kExtra + 4;
constexpr size_t kShadowDy = kExtra + 8;
constexpr size_t kShadowColour = kExtra + 12;
constexpr size_t kShowPicture = kExtra + 16;
constexpr size_t kPictureMode = kExtra + 20;
constexpr size_t kPictureOrder = kExtra + 24;
constexpr size_t kPictures = kExtra + 28;
static_assert(kExtra + ExtraSettings::kSize == DisplaySettings::kRecordSize);
static_assert(kPictures + ExtraSettings::kPictureSlots * ExtraSettings::kPictureNameSize ==
              DisplaySettings::kRecordSize);

constexpr int32_t kFallbackSpacing = 14;
constexpr int32_t kMaxSpacing = 100;

// The platform's MulDiv: a * b / c rounded half away from zero.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    int64_t product = static_cast<int64_t>(a) * b;
    int64_t half = c / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / c : (product - half) / c);
}

uint32_t GetUInt32LE(const unsigned char* p) { return static_cast<uint32_t>(GetInt32LE(p)); }
void PutUInt32LE(unsigned char* p, uint32_t v) { PutInt32LE(p, static_cast<int32_t>(v)); }

// atoi's reading: blanks, a sign, digits. Values beyond 32 bits saturate
// instead of being undefined.
int32_t ReadInt(std::string_view s, size_t& pos, bool& read) {
    size_t i = pos;
    while (i < s.size() && IsAsciiSpace(static_cast<unsigned char>(s[i]))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    read = i < s.size() && s[i] >= '0' && s[i] <= '9';
    if (!read) return 0;
    int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (s[i] - '0');
    }
    pos = i;
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

std::string ToUpperAscii(std::string_view s) {
    std::string out(s);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsGbkLead(c)) {
            ++i;  // the trail byte may look like a letter
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Picture names are file names in the file system's encoding (UTF-8),
// whose multi-byte sequences never hold ASCII bytes: a byte-wise ASCII fold
// is exact.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace

// ---- FontRecord ----

std::string FontRecord::Face() const { return GetCString(faceName.data(), faceName.size()); }

void FontRecord::SetFace(std::string_view face) { PutCString(faceName.data(), faceName.size(), face); }

void FontRecord::ToBytes(unsigned char* p) const {
    PutInt32LE(p + 0, height);
    PutInt32LE(p + 4, width);
    PutInt32LE(p + 8, escapement);
    PutInt32LE(p + 12, orientation);
    PutInt32LE(p + 16, weight);
    p[20] = italic;
    p[21] = underline;
    p[22] = strikeOut;
    p[23] = charSet;
    p[24] = outPrecision;
    p[25] = clipPrecision;
    p[26] = quality;
    p[27] = pitchAndFamily;
    std::memcpy(p + 28, faceName.data(), kFaceSize);
}

void FontRecord::FromBytes(const unsigned char* p) {
    height = GetInt32LE(p + 0);
    width = GetInt32LE(p + 4);
    escapement = GetInt32LE(p + 8);
    orientation = GetInt32LE(p + 12);
    weight = GetInt32LE(p + 16);
    italic = p[20];
    underline = p[21];
    strikeOut = p[22];
    charSet = p[23];
    outPrecision = p[24];
    clipPrecision = p[25];
    quality = p[26];
    pitchAndFamily = p[27];
    std::memcpy(faceName.data(), p + 28, kFaceSize);
}

FontRecord DefaultReadingFont(int verticalDpi) {
    FontRecord font;
    font.height = -MulDiv(22, verticalDpi, 72);
    font.SetFace(Gbk("宋体"));
    return font;
}

// ---- DisplaySettings ----

DisplaySettings DisplaySettings::Defaults(int verticalDpi) {
    DisplaySettings s;
    s.font = DefaultReadingFont(verticalDpi);
    return s;
}

std::string DisplaySettings::ToRecord() const {
    std::string record(kRecordSize, '\0');
    auto* p = reinterpret_cast<unsigned char*>(record.data());
    font.ToBytes(p + kFont);
    PutUInt32LE(p + kTextColour, textColour);
    PutUInt32LE(p + kBackColour, backColour);
    PutInt32LE(p + kCharSpacing, charSpacing);
    PutInt32LE(p + kLineSpacing, lineSpacing);
    PutInt32LE(p + kShowRowNumbers, showRowNumbers);
    PutUInt32LE(p + kSelTextColour, selTextColour);
    PutUInt32LE(p + kSelBackColour, selBackColour);
    PutInt32LE(p + kShowShadow, extra.showShadow);
    PutInt32LE(p + kShadowDx, extra.shadowDx);
    PutInt32LE(p + kShadowDy, extra.shadowDy);
    PutUInt32LE(p + kShadowColour, extra.shadowColour);
    PutInt32LE(p + kShowPicture, extra.showPicture);
    PutInt32LE(p + kPictureMode, extra.pictureMode);
    PutInt32LE(p + kPictureOrder, extra.pictureOrder);
    for (size_t i = 0; i < ExtraSettings::kPictureSlots; ++i) {
        PutUtf8CString(p + kPictures + i * ExtraSettings::kPictureNameSize, ExtraSettings::kPictureNameSize,
                   extra.pictures[i]);
    }
    return record;
}

void DisplaySettings::FromRecord(const unsigned char* bytes, size_t size) {
    // Lay the bytes over the current record so that whatever the input does
    // not reach, down to single bytes of a field, keeps its value.
    std::string record = ToRecord();
    std::memcpy(record.data(), bytes, std::min(size, kRecordSize));
    const auto* p = reinterpret_cast<const unsigned char*>(record.data());
    font.FromBytes(p + kFont);
    textColour = GetUInt32LE(p + kTextColour);
    backColour = GetUInt32LE(p + kBackColour);
    charSpacing = GetInt32LE(p + kCharSpacing);
    lineSpacing = GetInt32LE(p + kLineSpacing);
    showRowNumbers = GetInt32LE(p + kShowRowNumbers);
    selTextColour = GetUInt32LE(p + kSelTextColour);
    selBackColour = GetUInt32LE(p + kSelBackColour);
    extra.showShadow = GetInt32LE(p + kShowShadow);
    extra.shadowDx = GetInt32LE(p + kShadowDx);
    extra.shadowDy = GetInt32LE(p + kShadowDy);
    extra.shadowColour = GetUInt32LE(p + kShadowColour);
    extra.showPicture = GetInt32LE(p + kShowPicture);
    extra.pictureMode = GetInt32LE(p + kPictureMode);
    extra.pictureOrder = GetInt32LE(p + kPictureOrder);
    for (size_t i = 0; i < ExtraSettings::kPictureSlots; ++i) {
        // A name without its terminator is cut to the slot; it cannot be a
        // file name we wrote, and reading on would run into the next slot.
        extra.pictures[i] = GetCString(p + kPictures + i * ExtraSettings::kPictureNameSize,
                                       ExtraSettings::kPictureNameSize - 1);
    }
}

void DisplaySettings::Load(const std::string& path, int verticalDpi) {
    *this = Defaults(verticalDpi);
    unsigned char bytes[kRecordSize];
    size_t n = LoadRecordBytes(path, bytes, sizeof bytes);
    FromRecord(bytes, n);
}

bool DisplaySettings::Save(const std::string& path) const {
    std::string record = ToRecord();
    return SaveRecordBytes(path, record.data(), record.size());
}

std::string DisplaySettingsPath() { return GetProgramFolder() + "data/showcfg3.dat"; }

DisplaySettings LoadDisplaySettings(int verticalDpi) {
    DisplaySettings s;
    s.Load(DisplaySettingsPath(), verticalDpi);
    ProgramDisplaySettings() = s;
    return s;
}

bool SaveDisplaySettings(const DisplaySettings& settings) {
    std::string path = DisplaySettingsPath();
    EnsureFolders(path);
    ProgramDisplaySettings() = settings;
    return settings.Save(path);
}

DisplaySettings& ProgramDisplaySettings() {
    static DisplaySettings settings;
    return settings;
}

// ---- Colours ----

std::string FormatColour(uint32_t colour) {
    return Format("RGB(%d,%d,%d)", ColourRed(colour), ColourGreen(colour), ColourBlue(colour));
}

uint32_t ParseColour(std::string_view text) {
    std::string s = ReplaceAll(ToUpperAscii(text), "RGB(", "");
    int32_t values[3] = {0, 0, 0};
    size_t pos = 0;
    for (int k = 0; k < 3; ++k) {
        // Like "%d,%d,%d": the comma must follow the number directly, while
        // blanks before a number are skipped.
        if (k > 0) {
            if (pos >= s.size() || s[pos] != ',') break;
            ++pos;
        }
        bool read = false;
        values[k] = ReadInt(s, pos, read);
        if (!read) break;
    }
    return MakeColour(values[0], values[1], values[2]);
}

// ---- Collecting ----

int32_t SpacingFromText(std::string_view text) {
    int32_t v = DecimalFromText(text);
    return (v <= 0 || v > kMaxSpacing) ? kFallbackSpacing : v;
}

int32_t DecimalFromText(std::string_view text) {
    size_t pos = 0;
    bool read = false;
    return ReadInt(text, pos, read);
}

DisplaySettingsForm FormFromSettings(const DisplaySettings& settings) {
    DisplaySettingsForm form;
    form.font = settings.font;
    form.textColour = settings.textColour;
    form.backColour = settings.backColour;
    form.selTextColour = settings.selTextColour;
    form.selBackColour = settings.selBackColour;
    form.shadowColour = settings.extra.shadowColour;
    form.charSpacing = std::to_string(settings.charSpacing);
    form.lineSpacing = std::to_string(settings.lineSpacing);
    form.shadowDx = std::to_string(settings.extra.shadowDx);
    form.shadowDy = std::to_string(settings.extra.shadowDy);
    form.showRowNumbers = settings.showRowNumbers != 0;
    form.showShadow = settings.extra.showShadow != 0;
    form.showPicture = settings.extra.showPicture != 0;
    form.pictureMode = settings.extra.pictureMode;
    form.pictureOrder = settings.extra.pictureOrder;
    for (const std::string& p : settings.extra.pictures) {
        if (!p.empty()) form.pictures.push_back(p);
    }
    return form;
}

DisplaySettings CollectDisplaySettings(const DisplaySettingsForm& form) {
    DisplaySettings s;
    s.font = form.font;
    s.textColour = form.textColour;
    s.backColour = form.backColour;
    s.selTextColour = form.selTextColour;
    s.selBackColour = form.selBackColour;
    s.extra.shadowColour = form.shadowColour;
    s.charSpacing = SpacingFromText(form.charSpacing);
    s.lineSpacing = SpacingFromText(form.lineSpacing);
    s.showRowNumbers = form.showRowNumbers ? 1 : 0;
    s.extra.showShadow = form.showShadow ? 1 : 0;
    s.extra.showPicture = form.showPicture ? 1 : 0;
    s.extra.shadowDx = DecimalFromText(form.shadowDx);
    s.extra.shadowDy = DecimalFromText(form.shadowDy);
    s.extra.pictureMode = form.pictureMode;
    s.extra.pictureOrder = form.pictureOrder;
    s.extra.pictures = RebuildPictureSlots(form.pictures);
    return s;
}

// ---- One-click looks ----

void ApplyColourPreset(DisplaySettingsForm& form, ColourPreset preset) {
    struct Look {
        uint32_t text, back, selText, selBack, shadow;
        bool shadowOn;
    };
    // The selection keeps a strong contrast with both the page and its own
    // text; only parchment keeps a soft shadow, which reads as ink.
    static const Look kLooks[] = {
        {MakeColour(34, 34, 34), MakeColour(250, 246, 238), MakeColour(255, 255, 255),
         MakeColour(51, 103, 214), MakeColour(200, 200, 200), false},
        {MakeColour(190, 190, 190), MakeColour(22, 22, 24), MakeColour(22, 22, 24),
         MakeColour(120, 150, 200), MakeColour(0, 0, 0), false},
        {MakeColour(34, 51, 34), MakeColour(199, 237, 204), MakeColour(255, 255, 255),
         MakeColour(46, 125, 50), MakeColour(170, 200, 170), false},
        {MakeColour(88, 56, 28), MakeColour(239, 224, 185), MakeColour(255, 248, 230),
         MakeColour(139, 90, 43), MakeColour(215, 195, 150), true},
    };
    const Look& look = kLooks[static_cast<size_t>(preset)];
    form.textColour = look.text;
    form.backColour = look.back;
    form.selTextColour = look.selText;
    form.selBackColour = look.selBack;
    form.shadowColour = look.shadow;
    form.showShadow = look.shadowOn;
}

// ---- Pictures ----

std::string PictureFolder() { return GetProgramFolder() + "data/bkimg/"; }

std::array<std::string, ExtraSettings::kPictureSlots> RebuildPictureSlots(
    const std::vector<std::string>& list) {
    std::array<std::string, ExtraSettings::kPictureSlots> slots;
    std::string folder = PictureFolder();
    for (size_t i = 0; i < slots.size() && i < list.size(); ++i) {
        // A name that cannot fit its slot could never be read back whole.
        if (list[i].empty() || list[i].size() >= ExtraSettings::kPictureNameSize) continue;
        if (FileExists(folder + list[i])) slots[i] = list[i];
    }
    return slots;
}

bool CanAddPicture(const std::vector<std::string>& list, Messenger& messenger) {
    if (list.size() >= ExtraSettings::kPictureSlots) {
        messenger.Inform(Gbk("己超过最大的背景图片数了。"));
        return false;
    }
    return true;
}

bool AddPicture(std::vector<std::string>& list, const std::string& chosenPath, Messenger& messenger) {
    if (!CanAddPicture(list, messenger)) return false;
    size_t slash = chosenPath.rfind('/');
    std::string name = slash == std::string::npos ? chosenPath : chosenPath.substr(slash + 1);
    if (name.empty()) return false;
    for (const std::string& entry : list) {
        if (SameNameIgnoringCase(entry, name)) {
            messenger.Inform(Gbk("己存在同名图片文件，如需要重新加入图片，请先将原图片删除。"));
            return false;
        }
    }
    std::string dest = PictureFolder() + name;
    EnsureFolders(dest);
    // copy_file refuses to copy a file onto itself instead of truncating it,
    // which matters when the user picks a picture already in the folder.
    std::error_code ec;
    std::filesystem::copy_file(chosenPath, dest, std::filesystem::copy_options::overwrite_existing, ec);
    list.push_back(name);
    return true;
}

bool DeletePicture(std::vector<std::string>& list, int selected, Messenger& messenger) {
    if (selected < 0 || static_cast<size_t>(selected) >= list.size()) {
        messenger.Inform(Gbk("请先选中要删除的文件"));
        return false;
    }
    list.erase(list.begin() + selected);
    return true;
}

}  // namespace quillon
