// One page turn of the reading page at full-HD size: lay out the next page
// and paint it into an off-screen image, against filling that image with one
// colour (the least any paint of the page costs).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "core/reader/display_settings.h"
#include "core/reader/paging_model.h"
#include "core/text/gbk_literal.h"
#include "gui/app/ui_fonts.h"
#include "gui/reader/page_picture.h"
#include "gui/reader/page_renderer.h"
#include "gui/reader/reading_font.h"

using namespace quillon;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

std::string ChineseBook() {
    const std::string para = Gbk(
        "话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。及秦灭之后，楚、汉分争，"
        "又并入于汉。汉朝自高祖斩白蛇而起义，一统天下，后来光武中兴，传至献帝，遂分为三国。");
    std::string text;
    while (text.size() < 4u << 20) {
        for (int i = 0; i < 12; ++i) text += para;
        text += "\r\n";
    }
    return text;
}

RenderStyle BenchStyle() {
    const DisplaySettings d = DisplaySettings::Defaults();
    RenderStyle s;
    s.font = FontFromRecord(d.font);
    s.textColour = ColourFromRef(d.textColour);
    s.backColour = ColourFromRef(d.backColour);
    s.showShadow = true;
    return s;
}

void BM_FillImage(benchmark::State& state) {
    QImage img(kW, kH, QImage::Format_RGB32);
    const QColor back = ColourFromRef(0x00A0A0A0);
    for (auto _ : state) {
        img.fill(back);
        benchmark::DoNotOptimize(img.constBits());
    }
}

void PageTurn(benchmark::State& state, const QImage& picture) {
    static const std::string book = ChineseBook();
    PagingModel model;
    model.SetText(book);
    model.UpdateGeometry(kW, kH);
    RenderStyle style = BenchStyle();
    style.showPicture = !picture.isNull();
    style.pictureMode = 1;
    PageRenderer renderer;
    QImage img(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        model.NextPage();
        if (model.topLine() + model.rows() >= model.lineCount()) model.FirstPage();
        QPainter p(&img);
        renderer.RenderPage(p, img.size(), model, style, picture);
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["cells"] = model.rows() * model.cols();
}

void BM_PageTurn(benchmark::State& state) { PageTurn(state, QImage()); }

void BM_PageTurnTiled(benchmark::State& state) {
    QImage picture(128, 96, QImage::Format_RGB32);
    picture.fill(QColor(200, 220, 240));
    {
        QPainter p(&picture);
        p.setPen(QColor(120, 140, 200));
        p.drawEllipse(8, 8, 112, 80);
    }
    PageTurn(state, picture);
}

}  // namespace

BENCHMARK(BM_FillImage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PageTurn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PageTurnTiled)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    // Painting needs no screen; the off-screen platform keeps this runnable
    // on a build machine.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    RegisterFontSubstitutions();
    CreateUiFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
