// The wizard's nine pages in the five languages, the contents page in its
// two roles and the About box: a screenshot of each for a person to look
// at, and a check that every text fits its widget.
// Meant to run on a real X server (tests/with-xvfb.sh) so that the fonts and
// metrics are the ones a user gets; the screenshots land in MANTOLE_SCREENS_DIR.

#include "ArchiverHost.h"
#include "Dialogs.h"
#include "PathLabel.h"
#include "ProgramFolder.h"
#include "TLanguage.h"
#include "TNotebook.h"
#include "TWzdForm.h"

#include "ContentsModel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const char *const kPageNames[] = {"paStart", "paZip",  "paName",   "paExe", "paMsg",
                                  "paRunFile", "paView", "paExeZip", "paEnd"};

// Answers nothing and never opens a window; whatever the form asked is kept
// so that a question at start-up shows up as a failure.
class SilentDialogs final : public Dialogs {
public:
    ArchiverHost *archiverHost(QWidget *) override { return &host; }
    void error(QWidget *, const QString &text) override { asked << text; }
    bool errorQuestion(QWidget *, const QString &text) override { return asked << text, false; }
    bool confirm(QWidget *, const QString &text) override { return asked << text, false; }
    void information(QWidget *, const QString &text) override { asked << text; }
    void preview(QWidget *, const QString &text, bool) override { asked << text; }
    bool twoButtons(QWidget *, const QString &, const QString &question, const QString &, const QString &,
                    Icon) override
    {
        return asked << question, false;
    }
    QString openFile(QWidget *, const QString &, const QString &) override { return QString(); }
    QString folder(QWidget *, const QString &start) override { return start; }
    bool startFile(const QString &) override { return false; }
    // The program's own dialogs go to the test instead of a modal loop.
    void run(QDialog &dialog) override
    {
        if (shown)
            shown(dialog);
        else
            asked << dialog.windowTitle();
    }
    std::function<void(QDialog &)> shown;

    class Host final : public ArchiverHost {
    public:
        void showMessage(const QString &text) override { messages << text; }
        bool askForDisk(const QString &, bool) override { return false; }
        std::optional<QString> askPassword(const QString &, const QString &) override { return std::nullopt; }
        void setBusy(bool) override {}
        void processEvents() override {}
        QStringList messages;
    } host;
    QStringList asked;
};

// The text a widget shows, without its accelerator marks.
QString shownText(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("&&"), QLatin1String("\x01"));
    plain.remove(QLatin1Char('&'));
    plain.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return plain;
}

// Why the widget's text does not fit it; empty when it does.
QString textProblem(const QWidget *w)
{
    if (qobject_cast<const PathLabel *>(w))
        return QString(); // shortens its path on purpose
    if (const auto *label = qobject_cast<const QLabel *>(w)) {
        if (!label->pixmap().isNull() || label->movie() || label->objectName().startsWith(QLatin1String("Image")))
            return QString();
        const QString text = shownText(label->text());
        if (text.isEmpty())
            return label->objectName() == QLatin1String("LbDateZip") ? QString() : QStringLiteral("shows no text");
        const QRect box = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                         -label->margin());
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(label->width());
            return needed > label->height()
                ? QStringLiteral("needs %1 px of height, has %2").arg(needed).arg(label->height())
                : QString();
        }
        const QFontMetrics fm = label->fontMetrics();
        if (fm.horizontalAdvance(text) > box.width())
            return QStringLiteral("text %1 px wide in %2 px").arg(fm.horizontalAdvance(text)).arg(box.width());
        if (fm.height() > box.height())
            return QStringLiteral("text %1 px high in %2 px").arg(fm.height()).arg(box.height());
        return QString();
    }
    if (const auto *box = qobject_cast<const QGroupBox *>(w)) {
        if (box->title().trimmed().isEmpty())
            return QStringLiteral("shows no title");
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return box->rect().contains(title) ? QString()
                                           : QStringLiteral("title %1 px wide in %2 px").arg(title.width()).arg(box->width());
    }
    const auto *button = qobject_cast<const QAbstractButton *>(w);
    if (!button)
        return QString();
    const QString text = shownText(button->text());
    if (text.isEmpty())
        return QStringLiteral("shows no text");
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool check = qobject_cast<const QCheckBox *>(button) != nullptr;
    const QRect box = button->style()->subElementRect(
        check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, button);
    const QFontMetrics fm = button->fontMetrics();
    const int room = box.width();
    if (fm.horizontalAdvance(text) > room)
        return QStringLiteral("text %1 px wide in %2 px").arg(fm.horizontalAdvance(text)).arg(room);
    if (fm.height() > box.height())
        return QStringLiteral("text %1 px high in %2 px").arg(fm.height()).arg(box.height());
    return QString();
}

// Relative luminance and contrast ratio as the accessibility guidelines
// define them: 1 for the same colour, 21 for black on white.
double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Why the widget's text is hard to see on its background; empty when it is
// not. A disabled text may be faint but must stay readable.
QString contrastProblem(const QWidget *w)
{
    const bool enabled = w->isEnabled();
    const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
    const bool button = qobject_cast<const QPushButton *>(w) != nullptr;
    const QColor text = w->palette().color(group, button ? QPalette::ButtonText : w->foregroundRole());
    const QColor back = w->palette().color(group, button ? QPalette::Button : QPalette::Window);
    const double ratio = contrast(text, back);
    const double needed = enabled ? 4.5 : 1.5;
    return ratio < needed ? QStringLiteral("%1 text %2 on %3: contrast %4, needs %5")
                                .arg(enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"), text.name(),
                                     back.name())
                                .arg(ratio, 0, 'f', 2)
                                .arg(needed)
                          : QString();
}

bool checked(const QWidget *w)
{
    return qobject_cast<const QLabel *>(w) || qobject_cast<const QCheckBox *>(w)
        || qobject_cast<const QPushButton *>(w) || qobject_cast<const QGroupBox *>(w);
}

// The widgets to check inside root, each with its place in root's coordinates.
QList<QWidget *> shownWidgets(QWidget *root)
{
    QList<QWidget *> found;
    for (QWidget *w : root->findChildren<QWidget *>())
        if (checked(w) && w->isVisibleTo(root) && w->isVisible())
            found << w;
    return found;
}

QString describe(const QWidget *w)
{
    QString text;
    if (const auto *label = qobject_cast<const QLabel *>(w))
        text = label->text();
    else if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        text = button->text();
    else if (const auto *box = qobject_cast<const QGroupBox *>(w))
        text = box->title();
    return QStringLiteral("%1 \"%2\"").arg(w->objectName(), text.left(40));
}

// Every problem of the checked widgets in root: texts that do not fit or
// cannot be told from their background, widgets that reach outside root,
// and widgets that overlap.
QStringList problemsIn(QWidget *root)
{
    QStringList problems;
    const QList<QWidget *> widgets = shownWidgets(root);
    QList<QRect> places;
    for (QWidget *w : widgets) {
        for (const QString &problem : {textProblem(w), contrastProblem(w)})
            if (!problem.isEmpty())
                problems << describe(w) + QStringLiteral(": ") + problem;
        const QRect place(w->mapTo(root, QPoint(0, 0)), w->size());
        places << place;
        if (!root->rect().contains(place))
            problems << describe(w) + QStringLiteral(": reaches outside its page");
    }
    for (qsizetype i = 0; i < widgets.size(); ++i)
        for (qsizetype j = i + 1; j < widgets.size(); ++j)
            if (places[i].intersects(places[j]) && !widgets[i]->isAncestorOf(widgets[j])
                && !widgets[j]->isAncestorOf(widgets[i]))
                problems << describe(widgets[i]) + QStringLiteral(" overlaps ") + describe(widgets[j]);
    return problems;
}

// Why rows or the heading of the contents grid are cut or out of sight;
// the status row, last, must show without scrolling.
QStringList gridProblems(const QTableView *grid)
{
    QStringList problems;
    const QAbstractItemModel *model = grid->model();
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        const QString text = index.data(Qt::DisplayRole).toString();
        const QVariant font = index.data(Qt::FontRole);
        const QFontMetrics fm(font.isValid() ? font.value<QFont>() : grid->font());
        const QRect cell = grid->visualRect(index);
        if (fm.horizontalAdvance(text) + 2 * margin > cell.width())
            problems << QStringLiteral("row %1 \"%2\": text %3 px wide in %4 px")
                            .arg(row)
                            .arg(text, QString::number(fm.horizontalAdvance(text)), QString::number(cell.width()));
        if (!grid->viewport()->rect().contains(cell))
            problems << QStringLiteral("row %1 \"%2\" is out of sight").arg(row).arg(text);
    }
    const QHeaderView *header = grid->horizontalHeader();
    const QString heading = model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString();
    const int room = header->sectionSize(0) - 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header)
        - header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    if (header->fontMetrics().horizontalAdvance(heading) > room)
        problems << QStringLiteral("heading \"%1\": text %2 px wide in %3 px")
                        .arg(heading)
                        .arg(header->fontMetrics().horizontalAdvance(heading))
                        .arg(room);
    return problems;
}

} // namespace

class TestScreens : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pages_data();
    void pages();
    void contentsPage_data();
    void contentsPage();
    void aboutBox_data();
    void aboutBox();

private:
    // A program folder with the language named in its settings, and the
    // form started on a copy of a small archive.
    std::unique_ptr<TWzdForm> openForm(const QString &language);

    QTemporaryDir m_dir;
    SilentDialogs m_dialogs;
};

void TestScreens::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("xdg"))));
    const QDir bin(QStringLiteral(MANTOLE_BIN_DIR));
    QDir().mkpath(m_dir.filePath(QStringLiteral("prog")));
    for (const QString &name : bin.entryList({QStringLiteral("*.lgn"), QStringLiteral("icones.dll"),
                                              QStringLiteral("lib*.so"), QStringLiteral("SfxStub.bin"),
                                              QStringLiteral("*.gif")},
                                             QDir::Files))
        QVERIFY(QFile::copy(bin.filePath(name), m_dir.filePath(QStringLiteral("prog/") + name)));
    QVERIFY(QFile::copy(QStringLiteral(MANTOLE_FIXTURE_DIR "/plain.zip"), m_dir.filePath(QStringLiteral("photos.zip"))));
    QDir().mkpath(QStringLiteral(MANTOLE_SCREENS_DIR));
}

std::unique_ptr<TWzdForm> TestScreens::openForm(const QString &language)
{
    const QString folder = m_dir.filePath(QStringLiteral("prog"));
    QFile ini(folder + QStringLiteral("/MANTOLE.INI"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return nullptr;
    ini.write(QStringLiteral("[general]\nlang=%1\n[wzd]\ndate=1\n[HistoryCfgDir]\nlast=%2\n")
                  .arg(language, m_dir.path())
                  .toUtf8());
    ini.close();
    const ProgramFolder paths = ProgramFolder::forFolder(folder, folder, folder);
    return std::make_unique<TWzdForm>(paths, &m_dialogs, QStringList{m_dir.filePath(QStringLiteral("photos.zip"))});
}

const char *const kLanguages[] = {"French", "English", "Deutsch", "italiano", "espanol"};

void TestScreens::pages_data()
{
    QTest::addColumn<QString>("started");  // the language of the settings file
    QTest::addColumn<QString>("language"); // the one shown, chosen from the menu when they differ
    for (const char *language : kLanguages)
        QTest::newRow(language) << QString::fromLatin1(language) << QString::fromLatin1(language);
    // A language chosen from the menu after start-up gets the same room.
    for (const char *started : kLanguages)
        for (const char *language : kLanguages)
            if (started != language)
                QTest::addRow("%s after %s", language, started)
                    << QString::fromLatin1(started) << QString::fromLatin1(language);
}

void TestScreens::pages()
{
    QFETCH(QString, started);
    QFETCH(QString, language);
    m_dialogs.asked.clear();
    std::unique_ptr<TWzdForm> form = openForm(started);
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY2(m_dialogs.asked.isEmpty(), qPrintable(m_dialogs.asked.join(QLatin1Char('\n'))));
    const bool switched = started != language;
    if (switched)
        form->applyLanguage(language);

    QStringList problems;
    const QString lower = language.toLower();
    for (int page = 0; page < form->NoteBook1->PageCount(); ++page) {
        form->NoteBook1->SetPageIndex(page);
        // Layouts settle through posted events, over several rounds when the
        // window must grow and the X server answers; a page that is still
        // wrong once they are over is wrong for good.
        QWidget *shown = form->NoteBook1->currentWidget();
        static_cast<void>(QTest::qWaitFor(
            [&] { return form->size() == form->sizeHint() && problemsIn(shown).isEmpty(); }, 2000));
        if (!switched)
            QVERIFY(form->grab().save(QStringLiteral(MANTOLE_SCREENS_DIR "/page-%1-%2.png").arg(page).arg(lower)));
        for (const QString &problem : problemsIn(shown))
            problems << QStringLiteral("%1: %2").arg(QLatin1String(kPageNames[page]), problem);
    }
    // The end button reads each of its three captions in turn; the strip
    // widens its buttons to the left, so Help is the one that could be pushed
    // off the window.
    const TLanguage &lg = form->Lg();
    for (const QString &caption : {form->Wzd->AbortCaption(), form->Wzd->ReadyCaption(),
                                   lg.ReadMessage(QStringLiteral("Wzd_Quit"))}) {
        form->Wzd->SetAbortCaption(caption);
        QCoreApplication::processEvents();
        for (const QString &problem : problemsIn(form->Wzd))
            problems << QStringLiteral("wizard strip: ") + problem;
    }
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(QLatin1Char('\n') + problems.join(QLatin1Char('\n'))));
}

void TestScreens::contentsPage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("viewer"); // opened by View of paZip, else by the browse button of paRunFile
    for (const char *language : kLanguages) {
        QTest::addRow("viewer %s", language) << QString::fromLatin1(language) << true;
        QTest::addRow("picker %s", language) << QString::fromLatin1(language) << false;
    }
}

void TestScreens::contentsPage()
{
    QFETCH(QString, language);
    QFETCH(bool, viewer);
    m_dialogs.asked.clear();
    std::unique_ptr<TWzdForm> form = openForm(language);
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    if (viewer)
        form->BtnViewClick();
    else
        form->BrowseRunFileClick();
    QCOMPARE(form->currentPage(), TWzdForm::paView);
    QVERIFY2(m_dialogs.asked.isEmpty(), qPrintable(m_dialogs.asked.join(QLatin1Char('\n'))));
    QWidget *shown = form->NoteBook1->currentWidget();
    const auto problems = [&] {
        QStringList found = problemsIn(shown) + gridProblems(form->StringGrid1);
        found.removeDuplicates();
        return found;
    };
    static_cast<void>(QTest::qWaitFor([&] { return form->size() == form->sizeHint() && problems().isEmpty(); }, 2000));
    QVERIFY(form->grab().save(QStringLiteral(MANTOLE_SCREENS_DIR "/paview-%1-%2.png")
                                  .arg(viewer ? QStringLiteral("viewer") : QStringLiteral("picker"), language.toLower())));

    // Each role shows its own panel; the grid lists the six entries of the
    // archive and the status row under them.
    QCOMPARE(form->PanelAddDel->isVisible(), viewer);
    QCOMPARE(form->PanelRunFile->isVisible(), !viewer);
    QCOMPARE(form->GridModel->rowCount(), 7);
    QVERIFY(form->GridModel->isStatusRow(6));
    QVERIFY(!form->StatusText.isEmpty());
    QCOMPARE(form->GridModel->index(6, 0).data().toString(), form->StatusText);
    const QStringList found = problems();
    QVERIFY2(found.isEmpty(), qPrintable(QLatin1Char('\n') + found.join(QLatin1Char('\n'))));
}

void TestScreens::aboutBox_data()
{
    QTest::addColumn<QString>("language");
    for (const char *language : kLanguages)
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestScreens::aboutBox()
{
    QFETCH(QString, language);
    m_dialogs.asked.clear();
    std::unique_ptr<TWzdForm> form = openForm(language);
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QStringList problems;
    bool opened = false;
    m_dialogs.shown = [&](QDialog &about) {
        opened = true;
        about.show();
        if (!QTest::qWaitForWindowExposed(&about)) {
            problems << QStringLiteral("the About box did not show");
            return;
        }
        static_cast<void>(QTest::qWaitFor([&] { return problemsIn(&about).isEmpty(); }, 2000));
        if (!about.grab().save(QStringLiteral(MANTOLE_SCREENS_DIR "/about-%1.png").arg(language.toLower())))
            problems << QStringLiteral("the screenshot was not written");
        problems << problemsIn(&about);
        about.close();
    };
    form->WzdHelpClick();
    m_dialogs.shown = nullptr;
    QVERIFY(opened);
    QVERIFY2(m_dialogs.asked.isEmpty(), qPrintable(m_dialogs.asked.join(QLatin1Char('\n'))));
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(QLatin1Char('\n') + problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
