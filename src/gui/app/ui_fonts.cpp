#include "gui/app/ui_fonts.h"

#include <array>

#include <QFontDatabase>
#include <QStringList>

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

void RegisterFontSubstitutions() {
    const QStringList song = {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                              QStringLiteral("AR PL UMing HK"), QStringLiteral("Noto Serif CJK SC"),
                              QStringLiteral("WenQuanYi Zen Hei")};
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
