// Shared set-up of the bookshelf tests: a temporary program folder with its
// own tag file, and a helper that answers the next modal dialog.
#pragma once

#include <cstdlib>
#include <functional>
#include <string>

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_literal.h"
#include "gui/app/application.h"
#include "gui/app/qt_messenger.h"

namespace shelf_test {

// A program folder of its own for one test, with data/main.htm written from
// the UTF-8 `tagFile` (stored as GBK, as the program reads it).
inline std::string MakeProgramFolder(QTemporaryDir& dir, const std::string& tagFile) {
    std::string home = dir.path().toStdString() + "/prog/";
    qputenv("QUILLON_HOME", home.c_str());
    quillon::StartApplication();
    quillon::WriteWholeFile(home + "data/main.htm", quillon::Gbk(tagFile));
    quillon::QtMessenger::SetTestMode(true);
    quillon::QtMessenger::Shown().clear();
    return home;
}

// Calls `answer` with the next modal dialog of class T once it is shown,
// from inside its event loop. Polls, because the dialog is shown only when
// the code under test gets to it.
template <class T>
void WhenModal(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start();
}

template <class W>
W* Child(QWidget* parent, const char* name) {
    return parent->findChild<W*>(QLatin1String(name));
}

}  // namespace shelf_test
