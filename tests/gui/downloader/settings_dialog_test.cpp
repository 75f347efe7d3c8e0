// The settings dialog: the at-least-one-kind rule, the folder picker, what
// "保存参数" stores, and the window taking over the accepted settings.
#include <cstdlib>
#include <string>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "core/downloader/download_preferences.h"
#include "core/downloader/downloader_settings.h"
#include "core/platform/file_io.h"
#include "core/platform/program_folder.h"
#include "core/text/gbk_codec.h"
#include "gui/app/qt_messenger.h"
#include "gui/downloader/dialog_seams.h"
#include "gui/downloader/fetchwell_window.h"
#include "gui/downloader/settings_dialog.h"

using namespace quillon;

class SettingsDialogTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string home_;

    std::string ConfigPath() const { return home_ + "data/config.dat"; }

    template <typename T>
    static T* Child(QWidget& w, const char* name) {
        T* c = w.findChild<T*>(QLatin1String(name));
        if (c == nullptr) qFatal("missing child %s", name);
        return c;
    }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(4, w->height() / 2)); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetProgramHomeVariable("FETCHWELL_HOME");
        QtMessenger::SetTestMode(true);
        FolderPicker::SetTestMode(true);
    }

    void init() {
        static int n = 0;
        home_ = dir_.path().toStdString() + "/prog" + std::to_string(++n) + "/";
        qputenv("FETCHWELL_HOME", home_.c_str());
        EnterProgramFolder();
        QtMessenger::Shown().clear();
        FolderPicker::Asked().clear();
    }

    void refusesToSaveWithoutAnyKindOfFile() {
        SettingsDialog d(DownloaderSettings{});
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        Click(Child<QCheckBox>(d, "htmlBox"));
        Click(Child<QCheckBox>(d, "txtBox"));
        QVERIFY(!Child<QCheckBox>(d, "htmlBox")->isChecked());
        Click(Child<QPushButton>(d, "saveButton"));
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("至少选择一种保存方式")});
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!FileExists(ConfigPath()));
        QVERIFY(d.settings().SavesHtml());  // nothing taken over

        // One kind is enough.
        Click(Child<QCheckBox>(d, "txtBox"));
        Click(Child<QPushButton>(d, "saveButton"));
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(QtMessenger::Shown().size(), 1);
        DownloaderSettings stored;
        QCOMPARE(stored.Load(ConfigPath()), DownloaderSettings::kRecordSize);
        QCOMPARE(stored.saveAsHtml, 0);
        QCOMPARE(stored.saveAsTxt, 1);
    }

    void storesPacingRetriesAndResumingInTheirOwnFile() {
        SettingsDialog d(DownloaderSettings{});
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(Child<QSpinBox>(d, "delayBox")->value(), 300);
        QCOMPARE(Child<QSpinBox>(d, "retriesBox")->value(), 2);
        Child<QSpinBox>(d, "delayBox")->setValue(0);
        Child<QSpinBox>(d, "retriesBox")->setValue(5);
        Click(Child<QPushButton>(d, "browserAgentButton"));
        Click(Child<QCheckBox>(d, "missingBox"));
        Click(Child<QPushButton>(d, "saveButton"));
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const DownloadPreferences stored = LoadPreferences();
        QCOMPARE(stored.delayMs, 0);
        QCOMPARE(stored.retries, 5);
        QCOMPARE(stored.userAgent, BrowserUserAgent());
        QVERIFY(stored.missingOnly);
        QVERIFY(!stored.useBrowser);
        // The fixed record keeps its size.
        QCOMPARE(FileSize(ConfigPath()), static_cast<long long>(DownloaderSettings::kRecordSize));
    }

    void browsedFolderGetsASlashAndIsStored() {
        DownloaderSettings start;
        start.saveFolder = "/old/";
        SettingsDialog d(start);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* folder = Child<QLineEdit>(d, "folderEdit");
        QCOMPARE(folder->text(), QStringLiteral("/old/"));

        FolderPicker::SetNextAnswer(QString());  // cancelled: field unchanged
        Click(Child<QPushButton>(d, "browseButton"));
        QCOMPARE(folder->text(), QStringLiteral("/old/"));
        FolderPicker::SetNextAnswer(QStringLiteral("/tmp/小说"));
        Click(Child<QPushButton>(d, "browseButton"));
        QCOMPARE(FolderPicker::Asked(),
                 (QStringList{QStringLiteral("请选择安装目录"), QStringLiteral("请选择安装目录")}));
        QCOMPARE(folder->text(), QStringLiteral("/tmp/小说/"));

        Click(Child<QCheckBox>(d, "formatBox"));
        Click(Child<QPushButton>(d, "saveButton"));
        QCOMPARE(d.result(), int(QDialog::Accepted));
        DownloaderSettings stored;
        stored.Load(ConfigPath());
        QCOMPARE(QString::fromStdString(stored.saveFolder), QStringLiteral("/tmp/小说/"));
        QCOMPARE(stored.formatTxt, 1);
        QCOMPARE(stored.saveAsHtml, 1);
        QCOMPARE(FileSize(ConfigPath()), 364LL);
    }

    void overlongFolderIsCutOnACharacterBoundary() {
        SettingsDialog d(DownloaderSettings{});
        d.show();
        QString longFolder = QStringLiteral("/");
        for (int i = 0; i < 100; ++i) longFolder += QStringLiteral("书");  // 301 bytes
        Child<QLineEdit>(d, "folderEdit")->setText(longFolder);
        Click(Child<QPushButton>(d, "saveButton"));
        const std::string& kept = d.settings().saveFolder;
        QVERIFY(kept.size() <= 255);
        QVERIFY(kept.size() >= 253);
        QVERIFY(IsValidUtf8(kept));
        DownloaderSettings stored;
        stored.Load(ConfigPath());
        QCOMPARE(stored.saveFolder, kept);
    }

    void windowTakesOverOnlyAcceptedSettings() {
        FetchwellWindow w;
        const int before = w.settings().formatTxt;
        SetModalRunner([](QDialog& d) {
            Click(Child<QCheckBox>(d, "formatBox"));
            Click(Child<QPushButton>(d, "cancelButton"));
            return d.result();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("settingsButton")), Qt::LeftButton);
        QCOMPARE(w.settings().formatTxt, before);
        QVERIFY(!FileExists(ConfigPath()));

        SetModalRunner([](QDialog& d) {
            Click(Child<QCheckBox>(d, "formatBox"));
            Click(Child<QPushButton>(d, "saveButton"));
            return d.result();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("settingsButton")), Qt::LeftButton);
        QCOMPARE(w.settings().formatTxt, before == 1 ? 0 : 1);
        QVERIFY(FileExists(ConfigPath()));
        SetModalRunner({});
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
