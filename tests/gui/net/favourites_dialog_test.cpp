#include "gui/net/favourites_dialog.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "core/text/gbk_codec.h"
#include "gui/app/qt_messenger.h"

using namespace quillon;

class FavouritesDialogTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QStringList opened_;

    std::string TagPath() const { return dir_.filePath(QStringLiteral("main.htm")).toStdString(); }
    std::string UserPath() const {
        return dir_.filePath(QStringLiteral("userkey.ini")).toStdString();
    }

    static void WriteGbk(const std::string& path, const QString& utf8) {
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        std::string gbk = Utf8ToGbk(utf8.toStdString());
        file.write(gbk.data(), static_cast<qint64>(gbk.size()));
    }

    // The user's file as UTF-8, to compare with what was typed.
    QString UserFile() const {
        QFile file(QString::fromStdString(UserPath()));
        if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("<missing>");
        return QString::fromStdString(GbkToUtf8(file.readAll().toStdString()));
    }

    std::unique_ptr<FavouritesDialog> Dialog() {
        auto d = std::make_unique<FavouritesDialog>(TagPath(), UserPath(),
                                                    [this](const QString& url) { opened_ << url; });
        d->show();
        return d;
    }

    static QStringList Row(const FavouritesDialog& d, int row) {
        QStringList texts;
        QTreeWidgetItem* item = d.list()->topLevelItem(row);
        if (!item) return texts;
        for (int c = 0; c < 4; ++c) texts << item->text(c);
        return texts;
    }

    static void Select(FavouritesDialog& d, int row) {
        QTreeWidget* list = d.list();
        QRect r = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }

    static void Click(QWidget* parent, const char* name) {
        auto* button = parent->findChild<QPushButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static void Type(QDialog* edit, const char* field, const QString& text) {
        auto* line = edit->findChild<QLineEdit*>(QLatin1String(field));
        QVERIFY2(line, field);
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        // keyClicks only knows ASCII; a key event carrying the text types
        // Chinese as an input method would.
        QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, text, Qt::NoModifier);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QtMessenger::SetTestMode(true);
    }

    void init() {
        opened_.clear();
        QtMessenger::Shown().clear();
        FavouritesSeam::Clear();
        WriteGbk(TagPath(),
                 QStringLiteral("[MAIN_URL]\r\nhttp://m/\r\n[TJ_BEGIN]\r\n推荐站*http://rec/*\r\n"
                                "[TJ_END]\r\n"));
        WriteGbk(UserPath(), QStringLiteral("我的站*http://mine/*\r\nabc\r\nSite*page.htm*\r\n"));
    }

    void showsRecommendedThenUserRows() {
        auto d = Dialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("我的收藏夹"));
        QTreeWidget* list = d->list();
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("类别"));
        QCOMPARE(list->columnWidth(2), 200);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(Row(*d, 0),
                 (QStringList{QStringLiteral(" "), QStringLiteral("系统推荐"),
                              QStringLiteral("推荐站"), QStringLiteral("http://rec/")}));
        QCOMPARE(Row(*d, 1),
                 (QStringList{QStringLiteral(" "), QStringLiteral("用户收藏"),
                              QStringLiteral("我的站"), QStringLiteral("http://mine/")}));
        QCOMPARE(Row(*d, 2).at(2), QStringLiteral("Site"));
        QCOMPARE(Row(*d, 2).at(3), QStringLiteral("page.htm"));
    }

    void addChecksFieldsAndSavesAtOnce() {
        auto d = Dialog();
        QString title;
        QList<bool> openAfterSave;
        FavouritesSeam::Queue([&](QDialog* edit) {
            title = edit->windowTitle();
            Click(edit, "save");
            openAfterSave << edit->isVisible();
            Type(edit, "description", QStringLiteral("  新站  "));
            Type(edit, "address", QStringLiteral("    "));
            Click(edit, "save");
            openAfterSave << edit->isVisible();
            Type(edit, "address", QStringLiteral("a*b"));
            Click(edit, "save");
            openAfterSave << edit->isVisible();
            Type(edit, "address", QStringLiteral("http://x/\U0001F600"));
            Click(edit, "save");
            openAfterSave << edit->isVisible();
            Type(edit, "address", QStringLiteral(" http://new/ "));
            Click(edit, "save");
            openAfterSave << edit->isVisible();
            return QDialog::Rejected;
        });
        Click(d.get(), "add");
        QCOMPARE(title, QStringLiteral("增加/编辑收藏"));
        QCOMPARE(openAfterSave, (QList<bool>{true, true, true, true, false}));
        QCOMPARE(QtMessenger::Shown(),
                 (QStringList{QStringLiteral("说明不能为空"), QStringLiteral("网址不能为空"),
                              QStringLiteral("说明和网址中不能含有*号或换行"),
                              QStringLiteral("说明或网址中含有无法保存的字符")}));
        QCOMPARE(d->list()->topLevelItemCount(), 4);
        QCOMPARE(Row(*d, 3), (QStringList{QStringLiteral("  "), QStringLiteral("用户收藏"),
                                          QStringLiteral("新站"), QStringLiteral("http://new/")}));
        // The malformed line is gone, every user row is kept in order.
        QCOMPARE(UserFile(),
                 QStringLiteral("我的站*http://mine/*\r\nSite*page.htm*\r\n新站*http://new/*\r\n"));

        // Closing the edit dialog adds nothing.
        FavouritesSeam::Queue([](QDialog* edit) {
            Type(edit, "description", QStringLiteral("x"));
            Click(edit, "close");
            return QDialog::Accepted;
        });
        Click(d.get(), "add");
        QCOMPARE(d->list()->topLevelItemCount(), 4);
        QVERIFY(!FavouritesSeam::HasPending());
    }

    void editRefusesAndReplacesOnlyUserRows() {
        auto d = Dialog();
        Click(d.get(), "edit");
        Select(*d, 0);
        Click(d.get(), "edit");
        QCOMPARE(QtMessenger::Shown(), (QStringList{QStringLiteral("请选择需要编辑的数据"),
                                                    QStringLiteral("只能编辑用户收藏数据")}));
        QVERIFY(!FavouritesSeam::HasPending());

        Select(*d, 2);
        QString seen;
        FavouritesSeam::Queue([&](QDialog* edit) {
            seen = edit->findChild<QLineEdit*>(QStringLiteral("description"))->text() +
                   QLatin1Char('|') +
                   edit->findChild<QLineEdit*>(QStringLiteral("address"))->text();
            Type(edit, "address", QStringLiteral("http://site/"));
            Click(edit, "save");
            return QDialog::Rejected;
        });
        Click(d.get(), "edit");
        QCOMPARE(seen, QStringLiteral("Site|page.htm"));
        QCOMPARE(Row(*d, 2), (QStringList{QStringLiteral(" "), QStringLiteral("用户收藏"),
                                          QStringLiteral("Site"), QStringLiteral("http://site/")}));
        QCOMPARE(UserFile(), QStringLiteral("我的站*http://mine/*\r\nSite*http://site/*\r\n"));
    }

    void deleteRemovesUserRowsDownToAnEmptyFile() {
        auto d = Dialog();
        Click(d.get(), "delete");
        Select(*d, 0);
        Click(d.get(), "delete");
        QCOMPARE(QtMessenger::Shown(), (QStringList{QStringLiteral("请选择需要删除的数据"),
                                                    QStringLiteral("只能删除用户收藏数据")}));
        QCOMPARE(d->list()->topLevelItemCount(), 3);

        Select(*d, 1);
        Click(d.get(), "delete");
        QCOMPARE(d->list()->topLevelItemCount(), 2);
        QCOMPARE(Row(*d, 1).at(2), QStringLiteral("Site"));
        QCOMPARE(UserFile(), QStringLiteral("Site*page.htm*\r\n"));
        Select(*d, 1);
        Click(d.get(), "delete");
        QCOMPARE(d->list()->topLevelItemCount(), 1);
        QCOMPARE(UserFile(), QString());
        QCOMPARE(QtMessenger::Shown().size(), 2);  // no confirmation was asked
    }

    void openHandsTheAddressOverAndStaysOpen() {
        auto d = Dialog();
        Click(d.get(), "open");
        QCOMPARE(QtMessenger::Shown(), QStringList{QStringLiteral("请选择需要打开的数据")});
        QVERIFY(opened_.isEmpty());

        Select(*d, 0);
        Click(d.get(), "open");
        QCOMPARE(opened_, QStringList{QStringLiteral("http://rec/")});
        QVERIFY(d->isVisible());

        QTreeWidget* list = d->list();
        QRect r = list->visualItemRect(list->topLevelItem(1));
        // A real double click: the first click selects, the second opens.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(opened_.last(), QStringLiteral("http://mine/"));
    }
};

QTEST_MAIN(FavouritesDialogTest)

#include "favourites_dialog_test.moc"
