#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include <QDialog>

#include "core/downloader/download_preferences.h"
#include "core/downloader/download_worker.h"
#include "core/downloader/downloader_settings.h"
#include "core/downloader/html_page_parser.h"

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWebEngineView;

namespace quillon {

class BrowserPageLoader;
class LinkListView;

// The downloader's one window: the start page on top, the contents address
// with "分析网址", the command buttons, the chapter list, the save location
// and the status line with the chapter count and a progress bar.
//
// Analysis and download run on worker threads. Their observer calls arrive
// on those threads and are posted to this window as queued calls; the
// window stops and joins every worker before it goes away, so no worker ever
// reports to a window that no longer exists.
class FetchwellWindow final : public QDialog {
    Q_OBJECT
public:
    explicit FetchwellWindow(QWidget* parent = nullptr);
    ~FetchwellWindow() override;

    // The commands of the buttons.
    void Analyse();
    void StartDownload();
    void StopDownload();
    void OpenSettings();
    void ShowAbout();
    void OpenSaveFolder();
    // "分析当前页面": lists the links of the page shown in the web pane.
    void AnalyseCurrentPage();
    // "合并成一本书" and "导出EPUB": the saved chapters of the list as one
    // book; the name (the contents page's title) can be edited first.
    void MergeBook();
    void ExportEpub();

    bool IsDownloading() const { return downloadRun_ != nullptr; }
    bool IsAnalysing() const { return !analysisRuns_.empty(); }
    const DownloaderSettings& settings() const { return settings_; }
    const DownloadPreferences& preferences() const { return preferences_; }
    BrowserPageLoader& browser() { return *browser_; }

signals:
    // An analysis run has listed its rows (or found none).
    void analysisFinished();
    // A download run has ended; `failed` rows could not be fetched or saved.
    void downloadFinished(int saved, int failed, bool stopped);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct AnalysisRun;
    struct DownloadRun;

    void BuildWidgets();
    void LoadStartPage(const std::string& topUrl);

    // Reports of the workers, on the interface thread.
    void ShowStatus(const QString& text);
    void ShowCount(const QString& text);
    void AddRows(std::uint64_t runId, const LinkList& links);
    void EndAnalysis(std::uint64_t runId);
    void ShowSaveFolder(const QString& folder);
    void MarkRow(std::uint64_t listGeneration, size_t row, const QString& state,
                 const QString& saved, const std::string& htmlFile, const std::string& txtFile);
    void EndDownload(const DownloadSummary& summary);
    void ShowRowState(std::uint64_t listGeneration, size_t row, const QString& state);
    void SetPageTitle(std::uint64_t runId, const std::string& title);
    // The job of the list as it stands (address, settings, rows).
    DownloadJob CurrentJob() const;
    void FinishBook(bool epub);

    bool IsCurrentAnalysis(std::uint64_t runId) const { return runId == lastAnalysisId_; }

    DownloaderSettings settings_;
    DownloadPreferences preferences_;
    std::string pageTitle_;  // GBK, of the contents page listed
    BrowserPageLoader* browser_ = nullptr;
    std::list<std::unique_ptr<AnalysisRun>> analysisRuns_;
    std::uint64_t lastAnalysisId_ = 0;
    std::unique_ptr<DownloadRun> downloadRun_;
    int rowsFinished_ = 0;

    QWebEngineView* webView_ = nullptr;
    QLineEdit* addressEdit_ = nullptr;
    QPushButton* analyseButton_ = nullptr;
    QPushButton* selectAllButton_ = nullptr;
    QPushButton* clearAllButton_ = nullptr;
    QPushButton* invertButton_ = nullptr;
    QPushButton* settingsButton_ = nullptr;
    QPushButton* downloadButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* aboutButton_ = nullptr;
    QPushButton* analysePageButton_ = nullptr;
    QPushButton* mergeButton_ = nullptr;
    QPushButton* epubButton_ = nullptr;
    QCheckBox* shelfBox_ = nullptr;
    LinkListView* list_ = nullptr;
    QLineEdit* saveFolderEdit_ = nullptr;
    QPushButton* openFolderButton_ = nullptr;
    QLineEdit* countEdit_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLineEdit* statusEdit_ = nullptr;
};

// The page shown in the web pane when the tag file names no start page.
QString BuiltInStartPage();

}  // namespace quillon
