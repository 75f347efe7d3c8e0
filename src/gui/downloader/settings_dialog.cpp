#include "gui/downloader/settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/text/gbk_literal.h"
#include "gui/app/qt_messenger.h"
#include "gui/app/text_convert.h"
#include "gui/downloader/dialog_seams.h"

namespace quillon {

SettingsDialog::SettingsDialog(const DownloaderSettings& settings, QWidget* parent,
                               const DownloadPreferences& preferences)
    : QDialog(parent), settings_(settings), preferences_(preferences) {
    setObjectName(QStringLiteral("settingsDialog"));
    setWindowTitle(QStringLiteral("参数设置"));
    auto* layout = new QVBoxLayout(this);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("保存目录:"), this));
    folderEdit_ = new QLineEdit(FromUtf8(settings.saveFolder), this);
    folderEdit_->setObjectName(QStringLiteral("folderEdit"));
    folderEdit_->setMinimumWidth(300);
    folderRow->addWidget(folderEdit_, 1);
    auto* browse = new QPushButton(QStringLiteral("浏览"), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    browse->setAutoDefault(false);
    folderRow->addWidget(browse);
    layout->addLayout(folderRow);

    htmlBox_ = new QCheckBox(QStringLiteral("保存为 html 格式"), this);
    htmlBox_->setObjectName(QStringLiteral("htmlBox"));
    htmlBox_->setChecked(settings.SavesHtml());
    txtBox_ = new QCheckBox(QStringLiteral("保存为 txt  格式"), this);
    txtBox_->setObjectName(QStringLiteral("txtBox"));
    txtBox_->setChecked(settings.SavesTxt());
    formatBox_ = new QCheckBox(QStringLiteral("格式化 txt 内容(删除空行,每行前空两格)"), this);
    formatBox_->setObjectName(QStringLiteral("formatBox"));
    formatBox_->setChecked(settings.FormatsTxt());
    layout->addWidget(htmlBox_);
    layout->addWidget(txtBox_);
    layout->addWidget(formatBox_);

    auto* grid = new QGridLayout;
    delayBox_ = new QSpinBox(this);
    delayBox_->setObjectName(QStringLiteral("delayBox"));
    delayBox_->setRange(0, 600000);
    delayBox_->setSingleStep(100);
    delayBox_->setValue(preferences.delayMs);
    retriesBox_ = new QSpinBox(this);
    retriesBox_->setObjectName(QStringLiteral("retriesBox"));
    retriesBox_->setRange(0, 20);
    retriesBox_->setValue(preferences.retries);
    agentEdit_ = new QLineEdit(FromUtf8(preferences.userAgent), this);
    agentEdit_->setObjectName(QStringLiteral("agentEdit"));
    agentEdit_->setPlaceholderText(QStringLiteral("myhttpget"));
    auto* browserAgent = new QPushButton(QStringLiteral("浏览器标识"), this);
    browserAgent->setObjectName(QStringLiteral("browserAgentButton"));
    browserAgent->setAutoDefault(false);
    grid->addWidget(new QLabel(QStringLiteral("下载间隔(毫秒)"), this), 0, 0);
    grid->addWidget(delayBox_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("失败重试次数"), this), 1, 0);
    grid->addWidget(retriesBox_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("User-Agent"), this), 2, 0);
    grid->addWidget(agentEdit_, 2, 1);
    grid->addWidget(browserAgent, 2, 2);
    layout->addLayout(grid);
    missingBox_ = new QCheckBox(QStringLiteral("只下载缺少的章节"), this);
    missingBox_->setObjectName(QStringLiteral("missingBox"));
    missingBox_->setChecked(preferences.missingOnly);
    browserBox_ = new QCheckBox(QStringLiteral("使用浏览器获取页面"), this);
    browserBox_->setObjectName(QStringLiteral("browserBox"));
    browserBox_->setChecked(preferences.useBrowser);
    layout->addWidget(missingBox_);
    layout->addWidget(browserBox_);
    connect(browserAgent, &QPushButton::clicked, this,
            [this] { agentEdit_->setText(FromUtf8(BrowserUserAgent())); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* save = new QPushButton(QStringLiteral("保存参数"), this);
    save->setObjectName(QStringLiteral("saveButton"));
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &SettingsDialog::Browse);
    connect(save, &QPushButton::clicked, this, &SettingsDialog::SaveAndClose);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SettingsDialog::Browse() {
    QString folder = FolderPicker::Choose(this, QStringLiteral("请选择安装目录"), folderEdit_->text());
    if (folder.isEmpty()) return;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    folderEdit_->setText(folder);
}

void SettingsDialog::SaveAndClose() {
    if (!htmlBox_->isChecked() && !txtBox_->isChecked()) {
        QtMessenger(this).Inform(Gbk("至少选择一种保存方式"), MessageKind::Warning);
        return;
    }
    DownloaderSettings s = settings_;
    s.formatTxt = formatBox_->isChecked() ? 1 : 0;
    // The record holds at most 255 bytes of the folder; the settings in
    // memory are cut the same way (on a character boundary) so the running
    // program saves where a restarted one would.
    std::string folder = ToUtf8(folderEdit_->text().trimmed());
    if (folder.size() > DownloaderSettings::kFolderMaxBytes) {
        size_t n = DownloaderSettings::kFolderMaxBytes;
        while (n > 0 && (static_cast<unsigned char>(folder[n]) & 0xC0) == 0x80) --n;
        folder.resize(n);
    }
    s.saveFolder = folder;
    s.saveAsHtml = htmlBox_->isChecked() ? 1 : 0;
    s.saveAsTxt = txtBox_->isChecked() ? 1 : 0;
    settings_ = s;
    saveResult_ = SaveSettings(settings_);
    DownloadPreferences p = preferences_;
    p.delayMs = delayBox_->value();
    p.retries = retriesBox_->value();
    // One header line: what is pasted may hold line breaks.
    p.userAgent = ToUtf8(agentEdit_->text().simplified());
    p.missingOnly = missingBox_->isChecked();
    p.useBrowser = browserBox_->isChecked();
    preferences_ = p;
    if (!SavePreferences(preferences_)) saveResult_ = 1;
    accept();
}

}  // namespace quillon
