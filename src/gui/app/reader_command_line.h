#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

// What `quillon [OPTION]... [FILE]...` asks for.
struct ReaderCommandLine {
    // The files to open, made absolute against the directory the program was
    // started in (the program folder becomes the current one later).
    QStringList files;
    // -1: start the window. Otherwise print `output` (to standard error when
    // the status is not 0) and end with this status: 0 for --help and
    // --version, 2 for arguments that are refused.
    int exitStatus = -1;
    QString output;
};

// Parses the arguments (the first is the program's name). Done before the
// application object exists, so --help and --version need no display.
ReaderCommandLine ParseReaderCommandLine(const QStringList& arguments);

}  // namespace quillon
