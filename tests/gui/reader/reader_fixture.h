// Shared set-up of the reading-page tests: a temporary program folder and a
// page of a known geometry, so that cells sit at computable positions.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include <QPoint>
#include <QTemporaryDir>
#include <QtTest>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"
#include "gui/reader/modal_seam.h"
#include "gui/reader/reading_page.h"

namespace reader_test {

// With the default spacing (16 + 1 per column, 40 + 1 per row), a page of
// 425 x 270 has 20 columns and 5 rows.
inline constexpr int kWidth = 425;
inline constexpr int kHeight = 270;
inline constexpr int kCols = 20;
inline constexpr int kRows = 5;

// A narrow page continues its button bar on further rows and moves the text
// down below them by `contentTop()`; the cell grid itself does not move.
inline QPoint CellCentre(const quillon::ReadingPage& page, int row, int col) {
    return QPoint(50 + col * 17 + 8, page.contentTop() + 40 + row * 41 + 20);
}

// A fresh program folder per test, made current like at start-up.
class ProgramHome {
public:
    ProgramHome() {
        home_ = dir_.path().toStdString() + "/";
        qputenv("QUILLON_HOME", home_.c_str());
        quillon::StartApplication();
        quillon::EnsureFolders(home_ + "data/bkimg/");
        quillon::QtMessenger::SetTestMode(true);
        quillon::QtMessenger::Shown().clear();
        quillon::ModalSeam::ClearAnswers();
    }
    const std::string& path() const { return home_; }
    std::string Path(const std::string& rel) const { return home_ + rel; }

private:
    QTemporaryDir dir_;
    std::string home_;
};

// A page opened on `text` the way the host opens a book. `height` is that of
// the drawing area; the page is taller by the extra rows its bar needs.
inline std::unique_ptr<quillon::ReadingPage> OpenPage(const std::string& text,
                                                     const std::string& name = "book",
                                                     int width = kWidth, int height = kHeight) {
    auto page = std::make_unique<quillon::ReadingPage>();
    page->resize(width, height);
    page->show();
    page->resize(width, height + page->contentTop());
    page->SetText(text);
    page->SetBookName(name);
    page->LoadBookmarks();
    page->UpdateGeometry();
    return page;
}

// `count` numbered ASCII lines, "line 0001" and so on, CR LF ended.
inline std::string NumberedLines(int count) {
    std::string s;
    char buf[32];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(buf, sizeof buf, "line %04d\r\n", i);
        s += buf;
    }
    return s;
}

}  // namespace reader_test
