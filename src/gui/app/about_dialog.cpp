#include "gui/app/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/platform/program_folder.h"
#include "gui/app/application.h"
#include "gui/app/text_convert.h"

namespace quillon {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("关于 Quillon"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Quillon Ver%1 正式版").arg(QLatin1String(kVersionText)), this);
    title->setObjectName(QStringLiteral("versionLabel"));
    layout->addWidget(title);
    auto* path = new QPlainTextEdit(FromUtf8(GetProgramFile()), this);
    path->setObjectName(QStringLiteral("programPath"));
    path->setReadOnly(true);
    path->setFixedHeight(60);
    layout->addWidget(path);
    auto* buttons = new QHBoxLayout;
    auto* home = new QPushButton(QStringLiteral("软件主页"), this);
    home->setObjectName(QStringLiteral("homePageButton"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    buttons->addWidget(home);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(home, &QPushButton::clicked, this, &AboutDialog::homePageRequested);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    resize(380, 160);
}

}  // namespace quillon
