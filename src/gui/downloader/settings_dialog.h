#pragma once

#include <QDialog>

#include "core/downloader/downloader_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quillon {

// "参数设置": the save folder with "浏览", the three saving switches and
// "保存参数". Only "保存参数" changes anything: it refuses to close while
// neither html nor txt is ticked, and otherwise writes data/config.dat.
class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(const DownloaderSettings& settings, QWidget* parent = nullptr);

    // The settings as accepted by "保存参数" (the ones given, until then).
    const DownloaderSettings& settings() const { return settings_; }
    // The result of writing data/config.dat on "保存参数": 0 written, 1 not.
    int saveResult() const { return saveResult_; }

private:
    void Browse();
    void SaveAndClose();

    DownloaderSettings settings_;
    int saveResult_ = 0;
    QLineEdit* folderEdit_ = nullptr;
    QCheckBox* htmlBox_ = nullptr;
    QCheckBox* txtBox_ = nullptr;
    QCheckBox* formatBox_ = nullptr;
};

}  // namespace quillon
