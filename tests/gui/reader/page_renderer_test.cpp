// The renderer checked on the pixels it paints: background pictures, shadow,
// highlights and row labels; and the screen forms of GBK bytes and fonts.
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include "core/text/gbk_literal.h"
#include "gui/app/ui_fonts.h"
#include "gui/reader/gbk_glyphs.h"
#include "gui/reader/page_picture.h"
#include "gui/reader/page_renderer.h"
#include "gui/reader/reading_font.h"
#include "reader_fixture.h"

using namespace quillon;
using namespace reader_test;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

bool Near(QRgb px, const QColor& c, int tolerance = 40) {
    return std::abs(qRed(px) - c.red()) <= tolerance && std::abs(qGreen(px) - c.green()) <= tolerance &&
           std::abs(qBlue(px) - c.blue()) <= tolerance;
}

// Bounding box of the pixels close to `c` within `area`.
QRect BoxOf(const QImage& img, const QColor& c, QRect area, int tolerance = 40) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Near(img.pixel(x, y), c, tolerance)) box |= QRect(x, y, 1, 1);
    return box;
}

// The pixels of `area` that are not `background`.
int CountOther(const QImage& img, const QColor& background, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) != background.rgb()) ++n;
    return n;
}

int CountOf(const QImage& img, const QColor& c, QRect area, int tolerance = 40) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Near(img.pixel(x, y), c, tolerance)) ++n;
    return n;
}

RenderStyle PlainStyle() {
    RenderStyle s;
    s.font = FontFromRecord(DefaultReadingFont());
    s.textColour = kRed;
    s.backColour = kWhite;
    s.selTextColour = kWhite;
    s.selBackColour = kBlue;
    s.showShadow = false;
    s.spokenBackColour = QColor(0, 128, 0);
    s.spokenTextColour = QColor(255, 255, 0);
    return s;
}

QImage Render(const PagingModel& model, const RenderStyle& style, const QImage& picture = {}) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(kBlack);
    QPainter p(&img);
    PageRenderer renderer;
    renderer.RenderPage(p, img.size(), model, style, picture);
    return img;
}

QRect CellArea(const PagingModel& m, int row, int col) {
    const CellRect& r = m.cellGrid().At(row, col).rect;
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

class PageRendererTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramHome> home_;

    PagingModel Model(const std::string& text) {
        PagingModel m;
        m.SetText(text);
        m.UpdateGeometry(kWidth, kHeight);
        return m;
    }

private Q_SLOTS:
    void initTestCase() { home_ = std::make_unique<ProgramHome>(); }

    void tilesAreCountedAndClippedToTheBand() {
        QImage pic(100, 100, QImage::Format_RGB32);
        pic.fill(kGreen);
        pic.setPixel(0, 0, qRgb(255, 0, 0));
        QImage img(300, 200, QImage::Format_RGB32);
        img.fill(kBlack);
        const QRect band(0, 30, 250, 120);
        {
            QPainter p(&img);
            DrawPicture(p, pic, 1, band);
        }
        QCOMPARE(CountOf(img, kRed, img.rect(), 0), 6);
        for (QPoint at : {QPoint(0, 30), QPoint(100, 30), QPoint(200, 30), QPoint(0, 130),
                          QPoint(100, 130), QPoint(200, 130)})
            QCOMPARE(img.pixel(at), qRgb(255, 0, 0));
        // The last column is 50 wide, the second row 20 high, nothing beyond.
        QCOMPARE(img.pixel(249, 149), kGreen.rgb());
        QCOMPARE(img.pixel(250, 100), kBlack.rgb());
        QCOMPARE(img.pixel(10, 150), kBlack.rgb());
        QCOMPARE(img.pixel(10, 29), kBlack.rgb());
        QCOMPARE(BoxOf(img, kGreen, img.rect(), 0) | BoxOf(img, kRed, img.rect(), 0), band);
    }

    void centreAndStretchModes() {
        QImage small(100, 100, QImage::Format_RGB32);
        small.fill(kGreen);
        small.setPixel(0, 0, qRgb(255, 0, 0));
        const QRect band(0, 30, 250, 120);
        QImage img(300, 200, QImage::Format_RGB32);
        img.fill(kBlack);
        {
            QPainter p(&img);
            DrawPicture(p, small, 2, band);
        }
        // Smaller both ways: the whole picture, centred.
        QCOMPARE(img.pixel(75, 40), qRgb(255, 0, 0));
        QCOMPARE(BoxOf(img, kGreen, img.rect(), 0) | QRect(75, 40, 1, 1), QRect(75, 40, 100, 100));

        // Larger both ways: its centre part, from ((w - W) / 2, (h - H) / 2).
        QImage big(300, 200, QImage::Format_RGB32);
        big.fill(kGreen);
        big.setPixel(25, 40, qRgb(255, 0, 0));
        big.setPixel(24, 40, qRgb(0, 0, 255));
        img.fill(kBlack);
        {
            QPainter p(&img);
            DrawPicture(p, big, 2, band);
        }
        QCOMPARE(img.pixel(0, 30), qRgb(255, 0, 0));
        QCOMPARE(CountOf(img, kBlue, img.rect(), 0), 0);
        QCOMPARE(img.pixel(250, 60), kBlack.rgb());

        img.fill(kBlack);
        {
            QPainter p(&img);
            DrawPicture(p, small, 0, band);
        }
        QCOMPARE(CountOf(img, kBlack, band, 0), 0);
        QCOMPARE(img.pixel(10, 150), kBlack.rgb());
    }

    void shadowIsOffsetAndOnlyUnderPlainCells() {
        PagingModel m = Model(Gbk("中") + "\r\n" + Gbk("国") + "\r\n");
        RenderStyle s = PlainStyle();
        s.showShadow = true;
        s.shadowColour = kGreen;
        s.shadowDx = 6;
        s.shadowDy = 6;
        // The shadow alone (text in a transparent colour) against the text
        // alone in the shadow's colour: the same glyph, moved.
        s.textColour = QColor(0, 0, 0, 0);
        const QImage shadowOnly = Render(m, s);
        RenderStyle t = s;
        t.showShadow = false;
        t.textColour = kGreen;
        const QImage textOnly = Render(m, t);
        const QRect area = CellArea(m, 0, 0).adjusted(-2, -2, 24, 12);
        QVERIFY(CountOther(textOnly, kWhite, area) > 20);
        QPoint found(-100, -100);
        for (int dy = -8; dy <= 8 && found.x() == -100; ++dy) {
            for (int dx = -8; dx <= 8; ++dx) {
                bool same = true;
                for (int y = area.top(); y <= area.bottom() && same; ++y)
                    for (int x = area.left(); x <= area.right() && same; ++x)
                        same = textOnly.pixel(x, y) == shadowOnly.pixel(x + dx, y + dy);
                if (same) {
                    found = QPoint(dx, dy);
                    break;
                }
            }
        }
        // Right by shadowDx; down by about half of shadowDy, as the shadow is
        // centred in a rectangle whose top moved but whose bottom did not.
        QCOMPARE(found.x(), 6);
        QVERIFY2(found.y() >= 2 && found.y() <= 4, qPrintable(QString::number(found.y())));
        s.textColour = kRed;

        // Selected and spoken cells have no shadow.
        m.cellGrid().At(0, 1).selected = 1;
        m.cellGrid().At(1, 1).spoken = 1;
        const QImage hl = Render(m, s);
        QCOMPARE(CountOf(hl, kGreen, CellArea(m, 0, 0).adjusted(0, 0, 24, 0), 10), 0);
        QCOMPARE(CountOf(hl, kGreen, CellArea(m, 1, 0).adjusted(0, 0, 24, 0), 10), 0);
        s.showShadow = false;
        m.cellGrid().At(0, 1).selected = 0;
        QCOMPARE(CountOf(Render(m, s), kGreen, CellArea(m, 0, 0).adjusted(0, 0, 24, 0), 10), 0);
    }

    void selectionAndSpeechColours() {
        PagingModel m = Model("ab" + Gbk("中文") + "\r\n");
        Cell* row = m.cellGrid().Row(0);
        row[0].selected = 1;
        row[1].spoken = 1;
        // Only the second cell of the first two-byte character is selected.
        row[3].selected = 1;
        // Selected and spoken: the selection wins.
        row[4].spoken = 1;
        row[5].selected = 1;
        row[5].spoken = 1;
        const RenderStyle s = PlainStyle();
        const QImage img = Render(m, s);
        auto corner = [&](int col) {
            const QRect r = CellArea(m, 0, col);
            return img.pixel(r.left() + 1, r.top() + 1);
        };
        QCOMPARE(corner(0), s.selBackColour.rgb());
        QCOMPARE(corner(1), s.spokenBackColour.rgb());
        QCOMPARE(corner(2), s.selBackColour.rgb());
        QCOMPARE(corner(3), s.selBackColour.rgb());
        QCOMPARE(corner(4), s.selBackColour.rgb());
        QCOMPARE(corner(5), s.selBackColour.rgb());
        // The glyphs in their highlight text colours, none in the plain one.
        const QRect pair = CellArea(m, 0, 2).united(CellArea(m, 0, 3));
        QVERIFY(CountOf(img, s.selTextColour, pair, 30) > 10);
        QCOMPARE(CountOf(img, s.textColour, pair, 30), 0);
        QVERIFY(CountOf(img, s.spokenTextColour, CellArea(m, 0, 1), 30) > 3);

        // Nothing highlighted: plain background and red text only.
        for (int c = 0; c <= 6; ++c) row[c].selected = row[c].spoken = 0;
        const QImage plain = Render(m, s);
        QCOMPARE(plain.pixel(CellArea(m, 0, 2).topLeft() + QPoint(1, 1)), kWhite.rgb());
        QVERIFY(CountOf(plain, kRed, pair, 30) > 10);
    }

    void rowLabelsCountFromTheTopLine() {
        PagingModel m = Model(NumberedLines(47));
        m.GoToPage(9);
        QCOMPARE(m.topLine(), 40);
        RenderStyle s = PlainStyle();
        const QImage without = Render(m, s);
        s.showRowNumbers = true;
        const QImage with = Render(m, s);
        for (int r = 0; r < kRows; ++r) {
            const QRect label(5, 40 + r * 41, 43, 40);
            QCOMPARE(CountOther(without, kWhite, label), 0);
            // Every row has its label, also the three past the end of the
            // text, and each is "<topLine + 1 + r>:" in the small font.
            QImage expected(label.size(), QImage::Format_RGB32);
            expected.fill(kWhite);
            {
                QPainter p(&expected);
                p.setFont(UiFont(0));
                p.setPen(Qt::black);
                p.drawText(QRect(QPoint(0, 0), label.size()),
                           Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                           QString::number(41 + r) + QLatin1Char(':'));
            }
            QVERIFY(CountOther(expected, kWhite, expected.rect()) > 5);
            QCOMPARE(with.copy(label), expected);
        }
        // The text area is untouched by the labels.
        QCOMPARE(with.copy(50, 30, kWidth - 50, kHeight - 55), without.copy(50, 30, kWidth - 50, kHeight - 55));
        // Nothing outside the band.
        QCOMPARE(CountOf(with, kWhite, QRect(0, 0, kWidth, 30), 0), 0);
        QCOMPARE(CountOf(with, kWhite, QRect(0, kHeight - 25, kWidth, 25), 0), 0);
    }

    void gbkBytesAndFontsForTheScreen() {
        QCOMPARE(GbkPairText(0xD6, 0xD0).toString(), QStringLiteral("中"));
        QCOMPARE(GbkPairText(0xA1, 0xA3).toString(), QStringLiteral("。"));
        QCOMPARE(GbkPairText(0x81, 0x05).at(0), QChar(0xFFFD));
        QCOMPARE(GbkByteText('A').toString(), QStringLiteral("A"));

        const QFont f = FontFromRecord(DefaultReadingFont());
        QCOMPARE(f.pixelSize(), 29);
        const QString family = QFontInfo(f).family();
        QVERIFY2(family.contains(QStringLiteral("UMing")) || family.contains(QStringLiteral("CJK")),
                 qPrintable(family));
        FontRecord bold = DefaultReadingFont();
        bold.weight = 700;
        bold.italic = 1;
        bold.height = -40;
        const QFont fb = FontFromRecord(bold);
        QCOMPARE(fb.pixelSize(), 40);
        QCOMPARE(fb.weight(), QFont::Bold);
        QVERIFY(fb.italic());
        const FontRecord back = RecordFromFont(fb);
        QCOMPARE(back.height, -40);
        QCOMPARE(back.weight, 700);
        QCOMPARE(back.italic, uint8_t(1));
        QCOMPARE(FontFromRecord(back).family(), fb.family());
        // A font given in points is stored at Qt's 96 logical pixels per inch.
        QFont pt(QStringLiteral("宋体"));
        pt.setPointSize(15);
        QCOMPARE(RecordFromFont(pt).height, -20);
        QCOMPARE(ColourFromRef(0x00332211), QColor(0x11, 0x22, 0x33));
        QCOMPARE(RefFromColour(QColor(0x11, 0x22, 0x33)), 0x00332211u);
    }

    void pictureOrdersAndLoading() {
        std::array<std::string, kPictureSlots> names;
        names[0] = "a.bmp";
        names[1] = "b.bmp";
        names[2] = "c.bmp";
        int cursor = -1;
        QList<int> seq;
        for (int i = 0; i < 7; ++i) seq << ChoosePictureSlot(names, 1, cursor, 0);
        QCOMPARE(seq, (QList<int>{0, 0, 1, 2, 0, 1, 2}));
        QCOMPARE(ChoosePictureSlot(names, 0, cursor, 0), 0);
        QCOMPARE(ChoosePictureSlot(names, 7, cursor, 0), -1);
        // At random: within the three, and the same within one second.
        for (long long t : {1LL, 2LL, 1000LL}) {
            const int a = ChoosePictureSlot(names, 2, cursor, t);
            QVERIFY(a >= 0 && a < 3);
            QCOMPARE(ChoosePictureSlot(names, 2, cursor, t), a);
        }
        std::array<std::string, kPictureSlots> none;
        QCOMPARE(ChoosePictureSlot(none, 2, cursor, 5), 0);

        QImage pic(8, 6, QImage::Format_RGB32);
        pic.fill(kGreen);
        QVERIFY(pic.save(QString::fromStdString(home_->Path("data/bkimg/a.bmp")), "BMP"));
        // A picture in another format under a .bmp name loads as well.
        QVERIFY(pic.save(QString::fromStdString(home_->Path("data/bkimg/b.bmp")), "PNG"));
        PagePicture p;
        LoadPagePicture(p, "a.bmp");
        QCOMPARE(p.image.size(), QSize(8, 6));
        LoadPagePicture(p, "b.bmp");
        QCOMPARE(p.image.size(), QSize(8, 6));
        // Replaced on disk while shown: the next pick shows the new picture.
        QImage wider(12, 6, QImage::Format_RGB32);
        wider.fill(kBlue);
        QVERIFY(wider.save(QString::fromStdString(home_->Path("data/bkimg/b.bmp")), "BMP"));
        LoadPagePicture(p, "b.bmp");
        QCOMPARE(p.image.size(), QSize(12, 6));
        QCOMPARE(p.image.pixel(0, 0), kBlue.rgb());
        LoadPagePicture(p, "missing.bmp");
        QVERIFY(p.image.isNull());
        LoadPagePicture(p, "a.bmp");
        LoadPagePicture(p, "");
        QVERIFY(p.image.isNull());
    }

    void pageDrawsTheFirstSlotOnlyWhenItHasAPicture() {
        QImage pic(20, 20, QImage::Format_RGB32);
        pic.fill(kGreen);
        QVERIFY(pic.save(QString::fromStdString(home_->Path("data/bkimg/g.bmp")), "BMP"));
        auto page = OpenPage(NumberedLines(30));
        DisplaySettings s = page->settings();
        s.extra.showPicture = 1;
        s.extra.pictureOrder = 0;
        s.extra.pictures[1] = "g.bmp";
        page->ApplyDisplaySettings(s);
        QVERIFY(page->picture().image.isNull());
        QCOMPARE(CountOf(page->RenderToImage(), kGreen, QRect(0, 30, kWidth, 10), 0), 0);
        s.extra.pictures[0] = "g.bmp";
        page->ApplyDisplaySettings(s);
        QVERIFY(!page->picture().image.isNull());
        QCOMPARE(CountOf(page->RenderToImage(), kGreen, QRect(0, 30, kWidth, 10), 0), kWidth * 10);
    }
};

QTEST_MAIN(PageRendererTest)
#include "page_renderer_test.moc"
