#pragma once

#include <QDialog>

#include "core/reader/display_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillon {

// "显示参数设置": edits a copy of the page's display settings.
//   "应用"     collects, saves and emits `applied`, staying open;
//   "保存参数" collects, saves and closes accepted (the page then applies
//             `stored()`);
//   "关闭"     closes rejected; edits not applied are dropped, those
//             applied stay.
// A look (日间, 夜间, 护眼, 羊皮纸) sets the colours and the shadow switch
// and applies them at once.
class DisplaySettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit DisplaySettingsDialog(const DisplaySettings& current, QWidget* parent = nullptr);

    // The record last collected by "应用" or "保存参数".
    const DisplaySettings& stored() const { return stored_; }
    // The values the dialog holds now, as "应用" would collect them.
    DisplaySettingsForm CurrentForm() const;

    void Apply();
    void SaveAndClose();
    void ChooseFont();
    void AddPictureFromFile();
    void DeleteSelectedPicture();
    void UsePreset(ColourPreset preset);

Q_SIGNALS:
    void applied(const DisplaySettings& settings);

private:
    struct ColourRow {
        uint32_t* value = nullptr;
        QLineEdit* edit = nullptr;
        QLabel* swatch = nullptr;
    };

    void AddColourRow(int row, const QString& caption, const char* name, uint32_t* value,
                      bool typed);
    void ChooseColour(ColourRow& row, const QString& caption);
    void PaintSwatch(const ColourRow& row);
    void RefreshPictureList(int select);
    void ShowPreview();
    void ShowFontName();
    bool Collect();

    DisplaySettingsForm form_;
    DisplaySettings stored_;
    ColourRow colours_[5];
    int colourCount_ = 0;
    QLineEdit* charSpacing_ = nullptr;
    QLineEdit* lineSpacing_ = nullptr;
    QLineEdit* shadowDx_ = nullptr;
    QLineEdit* shadowDy_ = nullptr;
    QCheckBox* showRowNumbers_ = nullptr;
    QCheckBox* showShadow_ = nullptr;
    QCheckBox* showPicture_ = nullptr;
    QComboBox* pictureMode_ = nullptr;
    QComboBox* pictureOrder_ = nullptr;
    QListWidget* pictureList_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* fontName_ = nullptr;
    QCheckBox* resumePosition_ = nullptr;
    QCheckBox* reopenBooks_ = nullptr;
};

}  // namespace quillon
