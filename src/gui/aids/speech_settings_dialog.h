#pragma once

#include <atomic>
#include <thread>

#include <QDialog>

#include "core/aids/speech_config.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quillon {

// The speech settings dialog: voice, speaking rate and the two highlight
// colours, with a test of whether Chinese speech works. Its OK button starts
// reading; leaving with it saves data/ttsconfig.dat.
class SpeechSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SpeechSettingsDialog(QWidget* parent = nullptr);
    ~SpeechSettingsDialog() override;

    // The settings as shown, or as saved once OK was pressed.
    const TtsConfig& config() const { return config_; }

    // Speaks the test field's text with the selected voice.
    void SpeakTest();
    // The Chinese speech check with its questions.
    void RunChineseTest();

    void accept() override;

private:
    struct ColourRow {
        uint32_t* value = nullptr;
        QLineEdit* edit = nullptr;
        QLabel* swatch = nullptr;
    };
    void AddColourRow(QGridLayout* grid, int row, const QString& caption, const char* name,
                      uint32_t* value, ColourRow& out);
    void ChooseColour(ColourRow& row, const QString& caption);
    static void PaintSwatch(const ColourRow& row);
    void SelectVoice(int row);
    // Cuts off a test still being spoken and waits for its thread.
    void StopTest();

    TtsConfig config_;
    ColourRow textRow_;
    ColourRow backRow_;
    QLineEdit* rateEdit_ = nullptr;
    QPlainTextEdit* readme_ = nullptr;
    QListWidget* voices_ = nullptr;
    QLineEdit* testText_ = nullptr;
    std::atomic<bool> testCancel_{false};
    std::thread testThread_;
};

}  // namespace quillon
