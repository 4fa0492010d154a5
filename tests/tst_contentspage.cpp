// The contents page driven through the main window: the grid over real
// archives, its sort and its status row, the pick of the command to run,
// the test of an archive, and add and delete judged by zipinfo.

#include "FormSandbox.h"
#include "Fixtures.h"
#include "ScriptedDialogs.h"
#include "TLanguage.h"
#include "TNotebook.h"
#include "TWzdForm.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QBrush>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

namespace {

// A stored archive made by Python's zipfile, one small text per name; the
// entry named damaged gets one byte of its data flipped, so that its CRC
// no longer matches.
bool makeArchive(const QString &path, const QStringList &names, const QString &damaged = QString())
{
    static const char *script = R"(
import sys, zipfile
path, damaged, names = sys.argv[1], sys.argv[2], sys.argv[3:]
with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
    for n in names:
        z.writestr(n, ("content of %s\n" % n) * 3)
if damaged:
    with zipfile.ZipFile(path) as z:
        at = z.getinfo(damaged).header_offset
    data = bytearray(open(path, "rb").read())
    at += 30 + int.from_bytes(data[at + 26:at + 28], "little") + int.from_bytes(data[at + 28:at + 30], "little")
    data[at + 5] ^= 0xFF
    open(path, "wb").write(bytes(data))
)";
    QProcess python;
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), QLatin1String(script), path, damaged} + names);
    return python.waitForFinished() && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

// The archive's names as zipinfo lists them, in directory order.
QStringList zipinfoNames(const QString &path)
{
    QProcess zipinfo;
    zipinfo.start(QStringLiteral("zipinfo"), {QStringLiteral("-1"), path});
    if (!zipinfo.waitForFinished() || zipinfo.exitCode() != 0)
        return {QStringLiteral("zipinfo failed")};
    return QString::fromUtf8(zipinfo.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList names(const char *list)
{
    return QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestContentsPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void gridRows_data();
    void gridRows();
    void headingClicksSort();
    void deleteSelection_data();
    void deleteSelection();
    void pickCommand();
    void testArchive_data();
    void testArchive();
    void addFile_data();
    void addFile();

private:
    void start(const QString &archive, const QString &language = QStringLiteral("English"));
    // Page paView in its viewer role, by paZip's View button.
    void view();
    QAbstractItemModel *grid() const { return widget<QTableView>("StringGrid1")->model(); }
    QStringList rows() const;
    QString cell(int row) const { return grid()->index(row, 0).data().toString(); }
    QString english(const char *key) const { return m_form->Lg().ReadMessage(QLatin1String(key)); }
    // The status row the grid should show for the archive as it is now
    // (stored entries, so the ratio is 0, and small files, so bytes).
    QString status(const QString &archive, int files) const
    {
        return QString::number(files) + english("Cap_StatusExploFiles") + QStringLiteral(" / Compression :0% / Taille archive :")
            + QString::number(QFileInfo(archive).size()) + QStringLiteral(" b");
    }
    void selectRows(int first, int last);
    void doubleClick(int row);
    template <typename T>
    T *widget(const char *name) const
    {
        T *w = m_form->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }

    std::unique_ptr<FormSandbox> m_box;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TWzdForm> m_form;
};

void TestContentsPage::initTestCase()
{
    for (const char *tool : {"python3", "zipinfo"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is needed to make and judge the archives").arg(QLatin1String(tool))));
}

void TestContentsPage::init()
{
    m_box = std::make_unique<FormSandbox>();
    QVERIFY(m_box->make());
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestContentsPage::cleanup()
{
    m_form.reset();
    m_dialogs.reset();
    m_box.reset();
}

void TestContentsPage::start(const QString &archive, const QString &language)
{
    QVERIFY(m_box->writeSettings(QString(), language));
    m_form = m_box->start(m_dialogs.get());
    widget<QLineEdit>("EdZipFn")->setText(archive);
}

void TestContentsPage::view()
{
    widget<QPushButton>("NextBtn")->click();
    QCOMPARE(m_form->currentPage(), TWzdForm::paZip);
    QVERIFY(widget<QCheckBox>("CbWzdViewer")->isChecked());
    widget<QPushButton>("BtnView")->click();
    QCOMPARE(m_form->currentPage(), TWzdForm::paView);
    QVERIFY(widget<QWidget>("PnAddOrDel")->isVisible());
}

QStringList TestContentsPage::rows() const
{
    QStringList texts;
    for (int row = 0; row < grid()->rowCount(); ++row)
        texts << cell(row);
    return texts;
}

void TestContentsPage::selectRows(int first, int last)
{
    QTableView *view = widget<QTableView>("StringGrid1");
    view->selectionModel()->select(QItemSelection(grid()->index(first, 0), grid()->index(last, 0)),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TestContentsPage::doubleClick(int row)
{
    // Qt Test's double click sends no first press, which a view needs to
    // know the row that is double-clicked.
    QTableView *view = widget<QTableView>("StringGrid1");
    const QPoint at = view->visualRect(grid()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// ---- The grid ----

void TestContentsPage::gridRows_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("empty archive") << QStringList();
    QTest::newRow("one entry") << names("readme.txt");
    QTest::newRow("three entries, folders shown with backslashes") << names("a.txt docs/b.txt docs/deep/c.txt");
}

void TestContentsPage::gridRows()
{
    QFETCH(QStringList, entries);
    const QString archive = m_box->work + QStringLiteral("shown.zip");
    QVERIFY(makeArchive(archive, entries));
    start(archive);
    view();

    QCOMPARE(grid()->headerData(0, Qt::Horizontal).toString(), english("Cap_Cell0") + QStringLiteral("shown.zip"));
    QStringList expected;
    for (const QString &name : entries)
        expected << QString(name).replace(QLatin1Char('/'), QLatin1Char('\\'));
    // An empty archive shows one empty row and no status.
    expected << (entries.isEmpty() ? QString() : status(archive, static_cast<int>(entries.size())));
    QCOMPARE(rows(), expected);
    const QColor statusColour = grid()->index(grid()->rowCount() - 1, 0).data(Qt::ForegroundRole).value<QBrush>().color();
    if (!entries.isEmpty()) {
        QCOMPARE(statusColour, QColor(255, 0, 0));
        QVERIFY(!grid()->index(0, 0).data(Qt::ForegroundRole).isValid());
    }
}

void TestContentsPage::headingClicksSort()
{
    // Directory order differs from either sorted order, and the letter
    // case must not count.
    const QString archive = m_box->work + QStringLiteral("sort.zip");
    QVERIFY(makeArchive(archive, names("b.txt A.txt c.txt")));
    start(archive);
    view();
    const QString statusRow = status(archive, 3);
    QCOMPARE(rows(), names("A.txt b.txt c.txt") << statusRow);

    QHeaderView *heading = widget<QTableView>("StringGrid1")->horizontalHeader();
    const QPoint onHeading(heading->sectionViewportPosition(0) + 10, heading->height() / 2);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, {}, onHeading);
    QCOMPARE(rows(), names("c.txt b.txt A.txt") << statusRow);
    QCOMPARE(heading->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, {}, onHeading);
    QCOMPARE(rows(), names("A.txt b.txt c.txt") << statusRow);
    QCOMPARE(heading->sortIndicatorOrder(), Qt::AscendingOrder);
}

// ---- Delete ----

void TestContentsPage::deleteSelection_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("error");
    const QStringList all = names("a.txt b.txt c.txt");
    QTest::newRow("last entry and the status row") << "English" << 2 << 3 << names("a.txt b.txt") << QString();
    QTest::newRow("the first two entries") << "English" << 0 << 1 << names("c.txt") << QString();
    QTest::newRow("only the status row") << "English" << 3 << 3 << all << "Select the files to delete first.";
    // A language file without the page's own texts falls back on English.
    QTest::newRow("only the status row, text missing from the language")
        << "custom" << 3 << 3 << all << "Error - no files selected";
}

void TestContentsPage::deleteSelection()
{
    QFETCH(QString, language);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QStringList, left);
    QFETCH(QString, error);
    if (language == QLatin1String("custom"))
        QVERIFY(Fixtures::write(m_box->program + QStringLiteral("custom.lgn"),
                                "[Messages]\nMsg_AskDelFiles=Delete them?\nCap_StatusExploFiles=\" files\"\n"));
    const QString archive = m_box->work + QStringLiteral("del.zip");
    QVERIFY(makeArchive(archive, names("a.txt b.txt c.txt")));
    start(archive, language);
    view();
    selectRows(first, last);
    m_dialogs->answers = {true};
    widget<QPushButton>("Btn3dDEL")->click();

    QCOMPARE(m_dialogs->said.first(), QStringLiteral("confirm: ") + english("Msg_AskDelFiles"));
    if (!error.isEmpty())
        QCOMPARE(m_dialogs->said.last(), QStringLiteral("error: ") + error);
    QCOMPARE(zipinfoNames(archive), left);
    QCOMPARE(rows(), QStringList(left) << status(archive, static_cast<int>(left.size())));
}

// ---- The picker role ----

void TestContentsPage::pickCommand()
{
    const QString archive = m_box->work + QStringLiteral("pick.zip");
    QVERIFY(makeArchive(archive, names("setup.exe docs/readme.txt")));
    start(archive);
    widget<QCheckBox>("CbRunAFile")->setChecked(true);
    widget<QPushButton>("BrowseRunFile")->click();
    QCOMPARE(m_form->currentPage(), TWzdForm::paView);
    QVERIFY(widget<QWidget>("PnlRunFile")->isVisible());
    QVERIFY(!widget<QWidget>("PnAddOrDel")->isVisible());

    QCOMPARE(cell(0), QStringLiteral("docs\\readme.txt"));
    doubleClick(0);
    QCOMPARE(widget<QLineEdit>("EDCmdLn")->text(), QStringLiteral("DOCS\\README.TXT"));
    QCOMPARE(widget<QLabel>("LbSelectedFn")->text(), QStringLiteral("DOCS\\README.TXT"));

    // The status row is no file to run: the pick stays.
    doubleClick(2);
    QCOMPARE(widget<QLineEdit>("EDCmdLn")->text(), QStringLiteral("DOCS\\README.TXT"));
}

// ---- Test ----

void TestContentsPage::testArchive_data()
{
    QTest::addColumn<QString>("damaged");
    QTest::newRow("all sound") << QString();
    QTest::newRow("one bad entry of ten") << QStringLiteral("f6.txt");
}

void TestContentsPage::testArchive()
{
    QFETCH(QString, damaged);
    const QString archive = m_box->work + QStringLiteral("ten.zip");
    QVERIFY(makeArchive(archive, names("f1.txt f2.txt f3.txt f4.txt f5.txt f6.txt f7.txt f8.txt f9.txt f10.txt"),
                        damaged));
    start(archive);
    widget<QPushButton>("NextBtn")->click();
    QPushButton *test = widget<QPushButton>("BtnTest");
    QVERIFY(test->isEnabled());
    test->click();

    const QString report = m_dialogs->said.last();
    if (damaged.isEmpty())
        QVERIFY2(report.startsWith(QStringLiteral("information: ") + english("Msg_TestOkAndTime")), qPrintable(report));
    else
        QCOMPARE(report, QStringLiteral("error: ") + english("Msg_TestError") + QStringLiteral("1"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

// ---- Add ----

void TestContentsPage::addFile_data()
{
    QTest::addColumn<bool>("folderNames");
    QTest::newRow("names alone") << false;
    QTest::newRow("with folder names") << true;
}

void TestContentsPage::addFile()
{
    QFETCH(bool, folderNames);
    const QString archive = m_box->work + QStringLiteral("add.zip");
    QVERIFY(makeArchive(archive, names("a.txt")));
    const QString added = m_box->work + QStringLiteral("sub/new.txt");
    QVERIFY(QDir().mkpath(m_box->work + QStringLiteral("sub")));
    QVERIFY(Fixtures::write(added, "added\n"));
    start(archive);
    view();
    m_form->Path->setChecked(folderNames);
    m_dialogs->files = {added};
    m_dialogs->answers = {true};
    widget<QPushButton>("Btn3dADD")->click();

    QCOMPARE(m_dialogs->said.value(1),
             QStringLiteral("confirm: ") + english("Msg_AddThisFile") + QStringLiteral("[ ") + added + QStringLiteral(" ]"));
    // With folder names the file keeps its path, without the leading "/".
    const QString stored = folderNames ? added.mid(1) : QStringLiteral("new.txt");
    QCOMPARE(zipinfoNames(archive), QStringList({QStringLiteral("a.txt"), stored}));
    QCOMPARE(rows().mid(0, 2), QStringList({QStringLiteral("a.txt"), QString(stored).replace(QLatin1Char('/'), QLatin1Char('\\'))}));
    // The added text is deflated, so only the count and the size are sure.
    const QString statusRow = cell(2);
    QVERIFY2(statusRow.startsWith(QStringLiteral("2") + english("Cap_StatusExploFiles") + QStringLiteral(" / Compression :"))
                 && statusRow.endsWith(QStringLiteral(" / Taille archive :%1 b").arg(QFileInfo(archive).size())),
             qPrintable(statusRow));
}

QTEST_MAIN(TestContentsPage)
#include "tst_contentspage.moc"
