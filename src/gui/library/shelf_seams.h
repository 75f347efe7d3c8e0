#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class QWidget;

namespace quillon {

// Everything of the bookshelf that leaves the program's own windows: the
// file and folder pickers, programs started beside it, folders handed to the
// file manager. Tests answer the pickers and record the starts here, so no
// native dialog or outside program appears while they run.

// File picker: the next queued answer is returned without showing anything
// (an empty answer is Cancel); with none queued the dialog is shown.
void SetNextFileName(const QString& path);
QString PickOpenFileName(QWidget* parent, const QString& title, const QString& filter);

// Folder picker, same rules.
void SetNextFolderName(const QString& path);
QString PickFolderName(QWidget* parent, const QString& title, const QString& start);

// Starts `program` with `arguments` without waiting for it. The default
// starter detaches the process; a test starter records instead.
using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
void SetProgramStarter(ProgramStarter starter);
bool StartProgram(const QString& program, const QStringList& arguments);

// Shows a folder in the desktop's file manager.
using FolderOpener = std::function<void(const QString& folder)>;
void SetFolderOpener(FolderOpener opener);
void OpenFolderInFileManager(const QString& folder);

}  // namespace quillon
