#pragma once

#include <QDialog>

#include "core/downloader/download_preferences.h"
#include "core/downloader/downloader_settings.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;
class QPushButton;

namespace quillon {

// "参数设置": the save folder with "浏览", the three saving switches, the
// pause between requests, the retries, the User-Agent, resuming, browser
// mode and "保存参数". Only "保存参数" changes anything: it refuses to close
// while neither html nor txt is ticked, and otherwise writes data/config.dat
// and data/preferences.txt.
class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(const DownloaderSettings& settings, QWidget* parent = nullptr,
                            const DownloadPreferences& preferences = DownloadPreferences());

    // The settings as accepted by "保存参数" (the ones given, until then).
    const DownloaderSettings& settings() const { return settings_; }
    // The result of writing data/config.dat on "保存参数": 0 written, 1 not.
    int saveResult() const { return saveResult_; }
    const DownloadPreferences& preferences() const { return preferences_; }

private:
    void Browse();
    void SaveAndClose();

    DownloaderSettings settings_;
    int saveResult_ = 0;
    QLineEdit* folderEdit_ = nullptr;
    QCheckBox* htmlBox_ = nullptr;
    QCheckBox* txtBox_ = nullptr;
    QCheckBox* formatBox_ = nullptr;
    DownloadPreferences preferences_;
    QSpinBox* delayBox_ = nullptr;
    QSpinBox* retriesBox_ = nullptr;
    QLineEdit* agentEdit_ = nullptr;
    QCheckBox* missingBox_ = nullptr;
    QCheckBox* browserBox_ = nullptr;
};

}  // namespace quillon
