#include "gui/app/ui_fonts.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include <QFontDatabase>
#include <QStringList>

#include "core/platform/file_io.h"

namespace quillon {

namespace {
std::array<QFont, kUiFontSlots>& FontSlots() {
    static std::array<QFont, kUiFontSlots> fontSlots;
    return fontSlots;
}

QFont MakeSongFont(int pixelHeight, bool underline) {
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(pixelHeight);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setStrikeOut(false);
    f.setUnderline(underline);
    f.setStyleHint(QFont::Serif);
    return f;
}
}  // namespace

QStringList SongStyleFamilies() {
    return {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
            QStringLiteral("AR PL UMing HK"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("WenQuanYi Zen Hei")};
}

std::string InstallSongFontAliases() {
    const char* given = std::getenv("FONTCONFIG_FILE");
    const std::string base = given && *given ? given : "/etc/fonts/fonts.conf";
    // Once set, the variable names our own file: a second call (a test's
    // second frame) must not include that file in itself.
    // The user's own runtime folder where there is one, else a folder of
    // the user's in the shared temporary folder.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path folder =
        runtime && *runtime ? std::filesystem::path(runtime) / "quillon"
                            : std::filesystem::temp_directory_path() / ("quillon-" + std::to_string(getuid()));
    const std::string path = (folder / "fonts.conf").string();
    if (base == path) return path;
    std::string prefer;
    for (const QString& family : SongStyleFamilies())
        prefer += "<family>" + family.toStdString() + "</family>";
    std::string xml =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
        "<fontconfig>\n<include ignore_missing=\"yes\">" + base + "</include>\n";
    for (const char* name : {"宋体", "SimSun", "新宋体", "NSimSun"})
        xml += std::string("<alias binding=\"same\"><family>") + name + "</family><prefer>" + prefer +
               "</prefer></alias>\n";
    xml += "</fontconfig>\n";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (!WriteFileAtomically(path, xml)) return {};
    qputenv("FONTCONFIG_FILE", path.c_str());
    return path;
}

void RegisterFontSubstitutions() {
    const QStringList song = SongStyleFamilies();
    QFont::insertSubstitutions(QStringLiteral("宋体"), song);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
    QFont::insertSubstitutions(QStringLiteral("新宋体"), song);
}

void CreateUiFonts() {
    auto& s = FontSlots();
    s[0] = MakeSongFont(12, false);
    s[1] = MakeSongFont(12, true);
    s[2] = MakeSongFont(22, false);
    s[3] = MakeSongFont(16, false);
    s[4] = MakeSongFont(16, false);
}

const QFont& UiFont(int slot) {
    auto& s = FontSlots();
    if (slot < 0 || slot >= kUiFontSlots) return s[0];
    return s[static_cast<size_t>(slot)];
}

}  // namespace quillon
