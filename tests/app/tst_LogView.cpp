#include "IsolatedTestMain.h"
#include "LogView.h"
#include "ModalDriver.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestLogView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void linesAreBoldOrPlainAndStayInView();
    void emptyLogHasNoMenu();
    void menuEntries_data();
    void menuEntries();
    void copyLineAndCopyAll();
    void copyWithoutSelectionFallsBackToAll();
    void savedFileIsUtf8WithNewlines_data();
    void savedFileIsUtf8WithNewlines();
    void saveOverwritesAnExistingFile();
    void cancelledSaveWritesNothing();
    void unwritableFolderReportsCannotWrite_data();
    void unwritableFolderReportsCannotWrite();

private:
    // Runs "Save to file..." through the dialog and answers it with `file`.
    QStringList saveThroughDialog(LogView& view, const QString& file, bool confirmOverwrite = false);
    void fill(LogView& view, const QStringList& lines);

    QTemporaryDir dir;
};

void TestLogView::init()
{
    QApplication::clipboard()->clear();
}

void TestLogView::fill(LogView& view, const QStringList& lines)
{
    for (int i = 0; i < lines.size(); ++i)
        view.slotAddLine(lines[i], i == 0);
}

void TestLogView::linesAreBoldOrPlainAndStayInView()
{
    LogView view;
    view.resize(300, 120);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.slotAddLine("Firefox: default-release", true);
    view.slotAddLine("places.sqlite  10.0 MB -> 2.0 MB", false);
    QCOMPARE(view.item(0)->font().weight(), QFont::Bold);
    QCOMPARE(view.item(1)->font().weight(), QFont::Normal);
    QCOMPARE(view.selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!view.wordWrap());

    for (int i = 0; i < 50; ++i)
        view.slotAddLine(QString("line %1").arg(i), false);
    QScrollBar* bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestLogView::emptyLogHasNoMenu()
{
    LogView view;
    view.show();
    bool menuShown = false;
    whenShown<QMenu>(&view, [&menuShown](QMenu* menu) {
        menuShown = true;
        chooseEntry(menu, QString());
    });
    requestContextMenu(&view, QPoint(10, 10));
    QCoreApplication::processEvents();
    QVERIFY(!menuShown);
    QVERIFY(!QApplication::activePopupWidget());
    PendingAnswer::dropWaiting(&view);
}

void TestLogView::menuEntries_data()
{
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("copyLineEnabled");
    QTest::newRow("a line is selected") << true << true;
    QTest::newRow("nothing selected") << false << false;
}

void TestLogView::menuEntries()
{
    QFETCH(bool, select);
    QFETCH(bool, copyLineEnabled);
    LogView view;
    fill(view, {"one", "two"});
    view.show();
    if (select)
        view.setCurrentRow(1);
    QList<MenuEntry> entries;
    whenShown<QMenu>(&view, [&entries](QMenu* menu) {
        entries = ::menuEntries(menu);
        chooseEntry(menu, QString());
    });
    requestContextMenu(&view, QPoint(5, 5));
    QCOMPARE(entries,
             (QList<MenuEntry>{{"Copy line", copyLineEnabled}, {"Copy all", true}, {"Save to file...", true}}));
    // Dismissing the menu changes nothing.
    QVERIFY(QApplication::clipboard()->text().isEmpty());
}

void TestLogView::copyLineAndCopyAll()
{
    LogView view;
    fill(view, {"Chrome: Default", "History  4.0 MB", "Done"});
    view.show();
    view.setCurrentRow(1);

    whenShown<QMenu>(&view, [](QMenu* menu) { chooseEntry(menu, "Copy line"); });
    requestContextMenu(&view, QPoint(5, 5));
    QCOMPARE(QApplication::clipboard()->text(QClipboard::Clipboard), "History  4.0 MB");

    whenShown<QMenu>(&view, [](QMenu* menu) { chooseEntry(menu, "Copy all"); });
    requestContextMenu(&view, QPoint(5, 5));
    QCOMPARE(QApplication::clipboard()->text(QClipboard::Clipboard), "Chrome: Default\nHistory  4.0 MB\nDone");
    QCOMPARE(view.allText(), "Chrome: Default\nHistory  4.0 MB\nDone");
}

void TestLogView::copyWithoutSelectionFallsBackToAll()
{
    LogView view;
    QCOMPARE(view.allText(), QString());
    fill(view, {"a", "b"});
    view.clearSelection();
    view.copySelectedLines();
    QCOMPARE(QApplication::clipboard()->text(), "a\nb");
}

QStringList TestLogView::saveThroughDialog(LogView& view, const QString& file, bool confirmOverwrite)
{
    QStringList seen;
    whenShown<QMenu>(&view, [](QMenu* menu) { chooseEntry(menu, "Save to file..."); });
    whenShown<QFileDialog>(&view, [&seen, file, confirmOverwrite, &view](QFileDialog* dialog) {
        seen << dialog->windowTitle() << dialog->selectedFiles().value(0) << dialog->nameFilters().join(";;")
             << (dialog->parentWidget() == view.window() ? "parent ok" : "wrong parent");
        if (confirmOverwrite) {
            whenShown<QMessageBox>(&view, [&seen](QMessageBox* box) {
                seen << "asked to replace";
                box->button(QMessageBox::Yes)->click();
            });
        }
        if (file.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(file);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    requestContextMenu(&view, QPoint(5, 5));
    return seen;
}

void TestLogView::savedFileIsUtf8WithNewlines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("three lines") << QStringList{"Firefox: default", "places.sqlite", "Done"}
                                 << QByteArray("Firefox: default\nplaces.sqlite\nDone\n");
    QTest::newRow("non-ASCII") << QStringList{"Größe: 1,5 MB", "Профиль"}
                               << QString("Größe: 1,5 MB\nПрофиль\n").toUtf8();
    QTest::newRow("one line") << QStringList{"only"} << QByteArray("only\n");
}

void TestLogView::savedFileIsUtf8WithNewlines()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, expected);
    LogView view;
    fill(view, lines);
    view.show();
    const QString file = dir.filePath(QString("log-%1.log").arg(QTest::currentDataTag()));
    const QStringList seen = saveThroughDialog(view, file);
    QCOMPARE(seen,
             (QStringList{"Save the log", QDir::homePath() + "/quorbilan.log", "Log files (*.log);;All files (*)",
                          "parent ok"}));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes, expected);
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(!bytes.contains('\r'));
}

void TestLogView::saveOverwritesAnExistingFile()
{
    const QString file = dir.filePath("existing.log");
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'x'));
    old.close();
    LogView view;
    fill(view, {"new"});
    view.show();
    const QStringList seen = saveThroughDialog(view, file, true);
    QVERIFY(seen.contains("asked to replace"));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("new\n"));
}

void TestLogView::cancelledSaveWritesNothing()
{
    LogView view;
    fill(view, {"line"});
    view.show();
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    saveThroughDialog(view, QString());
    QVERIFY(!QFileInfo::exists(QDir::homePath() + "/quorbilan.log"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestLogView::unwritableFolderReportsCannotWrite_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain name") << "locked";
    // Shown as typed, not drawn as markup.
    QTest::newRow("name like markup") << "<b>locked</b>";
}

void TestLogView::unwritableFolderReportsCannotWrite()
{
    QFETCH(QString, folder);
    // Root writes anywhere: the save runs in a child process as nobody.
    QStringList command{QString::fromUtf8(APP_TEST_HELPER)};
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv: cannot drop to another user to test a refused write");
        command = QStringList{setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"} + command;
    }
    // In the system's temporary folder: the other user cannot reach into this
    // test's private world.
    QTemporaryDir world(QStringLiteral("/tmp/tst_LogView-XXXXXX"));
    QVERIFY(QFile::setPermissions(world.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                      | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    const QString locked = world.filePath(folder);
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(locked,
                                  QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther
                                      | QFile::ReadGroup | QFile::ExeGroup));
    const QString target = locked + "/quorbilan.log";

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", world.path());
    env.insert("XDG_CONFIG_HOME", world.filePath("config"));
    env.remove("XDG_RUNTIME_DIR");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(command.takeFirst(), command + QStringList{"logsave", target});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(child.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines,
             (QStringList{"title Quorbilan", "text Cannot write " + QDir::toNativeSeparators(target),
                          QString("icon %1").arg(int(QMessageBox::Critical)), "saved"}));
    QVERIFY(!QFileInfo::exists(target));
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestLogView>(argc, argv);
}

#include "tst_LogView.moc"
