#include "gui/aids/word_panel.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>

#include "gui/app/text_convert.h"

namespace quillon {

namespace {
const QColor kWordColour(0, 0, 255);  // 0x00FF0000
const QColor kRunColour(0, 128, 0);   // 0x00008000
constexpr int kWordLeft = 5;
constexpr int kRunGap = 10;
// Pronunciations are stored as plain single-byte codes; a font with every
// ASCII mark at a steady width shows them best.
const QString kPhoneticFamily = QStringLiteral("DejaVu Sans");
const QString kSongFamily = QStringLiteral("宋体");
}  // namespace

PhoneticPanel::PhoneticPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("phoneticPanel"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PhoneticPanel::Show(const std::string& word, const std::string& panelText, int wordHeight,
                         int runHeight) {
    word_ = word;
    runs_ = CutPanelRuns(panelText);
    if (wordHeight > 0) wordHeight_ = wordHeight;
    if (runHeight > 0) runHeight_ = runHeight;
    update();
}

QFont PhoneticPanel::WordFont() const {
    QFont f(kSongFamily);
    f.setPixelSize(wordHeight_);
    return f;
}

QFont PhoneticPanel::RunFont(bool gbk) const {
    QFont f(gbk ? kSongFamily : kPhoneticFamily);
    f.setPixelSize(runHeight_);
    if (!gbk) {
        // Characters half as wide as they are high.
        const int average = QFontMetrics(f).averageCharWidth();
        if (average > 0) f.setStretch(std::clamp(100 * (runHeight_ / 2) / average, 50, 200));
    }
    return f;
}

int PhoneticPanel::ContentWidth() const {
    int x = kWordLeft + QFontMetrics(WordFont()).horizontalAdvance(FromGbk(word_)) + kRunGap;
    for (const PanelRun& run : runs_) x += QFontMetrics(RunFont(run.gbk)).horizontalAdvance(FromGbk(run.text));
    return x;
}

void PhoneticPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const int h = height();
    p.setFont(WordFont());
    p.setPen(kWordColour);
    const QString word = FromGbk(word_);
    const int wordWidth = QFontMetrics(p.font()).horizontalAdvance(word);
    p.drawText(QRect(kWordLeft, 0, wordWidth + 1, h), Qt::AlignLeft | Qt::AlignVCenter, word);
    int x = kWordLeft + wordWidth + kRunGap;
    p.setPen(kRunColour);
    for (const PanelRun& run : runs_) {
        p.setFont(RunFont(run.gbk));
        const QString text = FromGbk(run.text);
        const int w = QFontMetrics(p.font()).horizontalAdvance(text);
        p.drawText(QRect(x, 0, w + 1, h), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += w;
    }
}

}  // namespace quillon
