#include "gui/app/reader_command_line.h"

#include <QCommandLineParser>
#include <QDir>

#include "gui/app/application.h"

namespace quillon {

ReaderCommandLine ParseReaderCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillon, a reader for plain-text novels."));
    QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Text files to open, each in a reading tab."),
                                 QStringLiteral("[FILE...]"));

    ReaderCommandLine result;
    if (!parser.parse(arguments)) {
        result.exitStatus = 2;
        result.output = QStringLiteral("quillon: %1\nTry 'quillon --help' for more information.\n")
                            .arg(parser.errorText());
        return result;
    }
    if (parser.isSet(help)) {
        result.exitStatus = 0;
        // Without an application object the parser cannot know the name.
        result.output = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("quillon"));
        return result;
    }
    if (parser.isSet(version)) {
        result.exitStatus = 0;
        result.output = QStringLiteral("quillon %1\n").arg(QString::fromLatin1(kVersionText));
        return result;
    }
    for (const QString& file : parser.positionalArguments())
        result.files.append(QDir::cleanPath(QDir::current().absoluteFilePath(file)));
    return result;
}

}  // namespace quillon
