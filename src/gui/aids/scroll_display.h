#pragma once

#include <string>

#include <QDialog>
#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace quillon {

class BrowserPage;
class CMainFrame;
class ReadingPage;

// The bar above a scroll display: start and stop scrolling, the scroll
// settings and full-screen mode. The scrolling itself is done by the page's
// own script, which the buttons call by name; a page that cannot take the
// call (not loaded, no such function) ignores it and the buttons switch all
// the same.
class ScrollControlBar final : public QWidget {
    Q_OBJECT
public:
    explicit ScrollControlBar(BrowserPage* host);

    void Play();
    void Stop();
    void OpenSettings();
    void ToggleFullScreen();

    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* settingsButton() const { return settings_; }
    QPushButton* fullScreenButton() const { return fullScreen_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void RunScript(const QString& statement);
    void SyncFullScreenCaption();

    QPointer<BrowserPage> host_;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* settings_ = nullptr;
    QPushButton* fullScreen_ = nullptr;
};

// "显示参数设置": the pause between steps and the pixels per step. Saving
// stores what the fields read as numbers, unchecked; the caller applies the
// defaults.
class ScrollSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ScrollSettingsDialog(QWidget* parent);

    QLineEdit* sleepEdit() const { return sleep_; }
    QLineEdit* stepEdit() const { return step_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* closeButton() const { return close_; }

private:
    void Save();

    QLineEdit* sleep_ = nullptr;
    QLineEdit* step_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Fills and shows the scroll page of `gbkText` in `host`; the opener page
// hosts call. Returns the control bar the host keeps (`topBar` when it has
// one already).
QWidget* OpenScrollPage(BrowserPage* host, QWidget* topBar, const QString& title,
                        std::string_view gbkText);

// The reading page's scroll display command: takes the page's colours, line
// height and font, opens a new tab of `frame` on about:blank and shows the
// book there. The new tab, or null when the strip has no room for one.
BrowserPage* StartScrollDisplay(const ReadingPage& page, CMainFrame& frame);

// Makes page hosts show scroll displays. Call once at start.
void RegisterScrollDisplay();

}  // namespace quillon
