// The wizard frame over a nine-page notebook, driven offscreen through its
// buttons: where moves lead, what the owner's handlers may change, what a
// repaint restores, and the captions the translation pass sets.

#include "TLanguage.h"
#include "TNotebook.h"
#include "TWizardFrame.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>

#include <optional>
#include <stdexcept>

Q_DECLARE_METATYPE(TWizDirection)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

constexpr int kPages = 9;

// The main form's shape: a window "WzdForm" with the notebook above the
// frame "Wzd".
struct Form {
    explicit Form(int pages = kPages)
    {
        window.setObjectName(QStringLiteral("WzdForm"));
        noteBook = new TNotebook(&window);
        for (int i = 0; i < pages; ++i)
            noteBook->AddPage(QStringLiteral("page%1").arg(i), new QWidget);
        frame = new TWizardFrame(&window);
        frame->setObjectName(QStringLiteral("Wzd"));
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(noteBook);
        layout->addWidget(frame);
        frame->SetNoteBook(noteBook);
        window.resize(520, 360);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
        frame->OnPageChanging = [this](TWizDirection direction, int &showPage) {
            log << QStringLiteral("changing %1 %2").arg(direction == wdNext ? "next" : "back").arg(showPage);
            if (redirect)
                showPage = *redirect;
        };
        frame->OnBackClick = [this](TWizardFrame *sender) { log << sent(sender, "back"); };
        frame->OnNextClick = [this](TWizardFrame *sender) { log << sent(sender, "next"); };
        frame->OnPageChange = [this](TWizardFrame *sender) { log << sent(sender, "change"); };
        frame->OnEndClick = [this](TWizardFrame *sender) { log << sent(sender, "end"); };
        frame->OnHelpClick = [this](TWizardFrame *sender) { log << sent(sender, "help"); };
    }

    QString sent(TWizardFrame *sender, const char *what) const
    {
        return sender == frame ? QString::fromLatin1(what) : QStringLiteral("wrong sender");
    }

    QPushButton *button(const char *name) const { return frame->findChild<QPushButton *>(QLatin1String(name)); }

    // Presses Next until Page shows, then repaints as the screen would, and
    // forgets what the handlers saw on the way.
    void reach(int page)
    {
        while (noteBook->currentIndex() < page)
            QTest::mouseClick(button("NextBtn"), Qt::LeftButton);
        frame->repaint();
        log.clear();
    }

    QWidget window;
    bool exposed = false;
    TNotebook *noteBook = nullptr;
    TWizardFrame *frame = nullptr;
    std::optional<int> redirect;
    QStringList log;
};

} // namespace

class TestWizardFrame : public QObject {
    Q_OBJECT

private slots:
    void init();
    void construction();
    void separatorAndPlacement_data();
    void separatorAndPlacement();
    void moves_data();
    void moves();
    void throwingHandlerChangesNothing_data();
    void throwingHandlerChangesNothing();
    void readyCaptionWaitsForAMove();
    void repaintAppliesFlags();
    void attachingANotebook_data();
    void attachingANotebook();
    void withoutNotebook();
    void endAndHelpLeaveItToTheOwner_data();
    void endAndHelpLeaveItToTheOwner();
    void translatedCaptions_data();
    void translatedCaptions();
    void accelerators();
    void notebookIgnoresBadIndices_data();
    void notebookIgnoresBadIndices();
};

void TestWizardFrame::init()
{
    // A paint that changes a button must not set off recursive repaints;
    // the offscreen platform's own notice is no fault of ours.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support).*")));
}

void TestWizardFrame::construction()
{
    TWizardFrame frame;
    QCOMPARE(frame.height(), 44);
    QCOMPARE(frame.minimumHeight(), 44);
    QCOMPARE(frame.maximumHeight(), 44);
    QCOMPARE(frame.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QVERIFY(frame.EnableHelp());
    QVERIFY(frame.EnableNext());
    QVERIFY(!frame.IsLastPage());
    QCOMPARE(frame.NoteBook(), nullptr);
    QCOMPARE(frame.ReadyCaption(), QStringLiteral("&Finish"));

    const QList<std::pair<const char *, QString>> buttons = {
        {"BackBtn", QStringLiteral("< &Back")},
        {"NextBtn", QStringLiteral("&Next >")},
        {"AbortBtn", QStringLiteral("&Cancel")},
        {"HelpBtn", QStringLiteral("&Help")},
    };
    for (const auto &[name, caption] : buttons) {
        auto *button = frame.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY2(button, name);
        QCOMPARE(button->parentWidget(), &frame);
        QCOMPARE(button->size(), QSize(75, 23));
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->isEnabled(), qstrcmp(name, "BackBtn") != 0);
    }
}

void TestWizardFrame::separatorAndPlacement_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("narrow") << 340;
    QTest::newRow("main window") << 520;
    QTest::newRow("wide") << 1200;
}

void TestWizardFrame::separatorAndPlacement()
{
    QFETCH(int, width);
    Form form;
    QVERIFY(form.exposed);
    form.window.resize(width, 360);
    QCOMPARE(form.frame->width(), width);

    const int top = 44 - 31;
    QCOMPARE(form.button("HelpBtn")->geometry(), QRect(width - 327, top, 75, 23));
    QCOMPARE(form.button("BackBtn")->geometry(), QRect(width - 243, top, 75, 23));
    QCOMPARE(form.button("NextBtn")->geometry(), QRect(width - 168, top, 75, 23));
    QCOMPARE(form.button("AbortBtn")->geometry(), QRect(width - 83, top, 75, 23));

    // An etched line, shadow over highlight, 9 pixels in from both ends.
    const QImage image = form.frame->grab().toImage();
    const QPalette &palette = form.frame->palette();
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    const QRgb highlight = palette.color(QPalette::Light).rgb();
    const QRgb background = palette.color(QPalette::Window).rgb();
    for (int x : {9, width / 2, width - 9}) {
        QCOMPARE(image.pixel(x, 1), shadow);
        QCOMPARE(image.pixel(x, 2), highlight);
    }
    QCOMPARE(image.pixel(8, 1), background);
    QCOMPARE(image.pixel(width - 8, 2), background);
}

void TestWizardFrame::moves_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("shownDirectly");
    QTest::addColumn<TWizDirection>("direction");
    QTest::addColumn<std::optional<int>>("redirect");
    QTest::addColumn<int>("proposed");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("lastPage");

    const std::optional<int> none;
    QTest::newRow("next from the first page") << 0 << -1 << wdNext << none << 1 << 1 << false;
    QTest::newRow("next onto the last page") << 7 << -1 << wdNext << none << 8 << 8 << true;
    QTest::newRow("next on the last page") << 8 << -1 << wdNext << none << 8 << 8 << true;
    QTest::newRow("back from the last page") << 8 << -1 << wdBack << none << 7 << 7 << false;
    QTest::newRow("back from the middle") << 4 << -1 << wdBack << none << 3 << 3 << false;
    // The owner showed page 0 itself, so Back still works there.
    QTest::newRow("back on the first page") << 2 << 0 << wdBack << none << 0 << 0 << false;
    QTest::newRow("refused by the handler") << 3 << -1 << wdNext << std::optional(3) << 4 << 3 << false;
    QTest::newRow("back redirected") << 8 << -1 << wdBack << std::optional(5) << 7 << 5 << false;
    QTest::newRow("next redirected to the end") << 1 << -1 << wdNext << std::optional(8) << 2 << 8 << true;
    QTest::newRow("redirected past the end") << 2 << -1 << wdNext << std::optional(9) << 3 << 2 << false;
    QTest::newRow("redirected below zero") << 2 << -1 << wdBack << std::optional(-1) << 1 << 2 << false;
}

void TestWizardFrame::moves()
{
    QFETCH(int, from);
    QFETCH(int, shownDirectly);
    QFETCH(TWizDirection, direction);
    QFETCH(std::optional<int>, redirect);
    QFETCH(int, proposed);
    QFETCH(int, page);
    QFETCH(bool, lastPage);

    Form form;
    QVERIFY(form.exposed);
    form.reach(from);
    if (shownDirectly >= 0)
        form.noteBook->SetPageIndex(shownDirectly);
    form.redirect = redirect;
    QTest::mouseClick(form.button(direction == wdNext ? "NextBtn" : "BackBtn"), Qt::LeftButton);

    const QString move = direction == wdNext ? QStringLiteral("next") : QStringLiteral("back");
    QCOMPARE(form.log, QStringList({QStringLiteral("changing %1 %2").arg(move).arg(proposed), move,
                                    QStringLiteral("change")}));
    QCOMPARE(form.noteBook->currentIndex(), page);
    QCOMPARE(form.button("BackBtn")->isEnabled(), page > 0);
    QCOMPARE(form.button("NextBtn")->isEnabled(), page < kPages - 1);
    QCOMPARE(form.frame->IsLastPage(), lastPage);
    QCOMPARE(form.button("AbortBtn")->text(), lastPage ? QStringLiteral("&Finish") : QStringLiteral("&Cancel"));
    QVERIFY(form.button("AbortBtn")->isEnabled());
}

void TestWizardFrame::throwingHandlerChangesNothing_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<TWizDirection>("direction");
    QTest::newRow("next that would reach the end") << 7 << wdNext;
    QTest::newRow("back that would leave the end") << 8 << wdBack;
}

void TestWizardFrame::throwingHandlerChangesNothing()
{
    QFETCH(int, from);
    QFETCH(TWizDirection, direction);
    Form form;
    QVERIFY(form.exposed);
    form.reach(from);
    QPushButton *back = form.button("BackBtn");
    QPushButton *next = form.button("NextBtn");
    QPushButton *end = form.button("AbortBtn");
    const bool backEnabled = back->isEnabled();
    const bool nextEnabled = next->isEnabled();
    const bool lastPage = form.frame->IsLastPage();
    const QString endCaption = end->text();

    form.frame->OnPageChanging = [](TWizDirection, int &showPage) {
        showPage = 0;
        throw std::runtime_error("invalid page");
    };
    QString caught;
    form.frame->OnHandlerError = [&](TWizardFrame *sender, std::exception_ptr error) {
        QCOMPARE(sender, form.frame);
        try {
            std::rethrow_exception(error);
        } catch (const std::runtime_error &e) {
            caught = QString::fromLatin1(e.what());
        }
    };
    QTest::mouseClick(direction == wdNext ? next : back, Qt::LeftButton);

    QCOMPARE(caught, QStringLiteral("invalid page"));
    QCOMPARE(form.log, QStringList());
    QCOMPARE(form.noteBook->currentIndex(), from);
    QCOMPARE(back->isEnabled(), backEnabled);
    QCOMPARE(next->isEnabled(), nextEnabled);
    QCOMPARE(form.frame->IsLastPage(), lastPage);
    QCOMPARE(end->text(), endCaption);
}

void TestWizardFrame::readyCaptionWaitsForAMove()
{
    Form form;
    QVERIFY(form.exposed);
    form.reach(kPages - 1);
    QPushButton *end = form.button("AbortBtn");
    QCOMPARE(end->text(), QStringLiteral("&Finish"));

    form.frame->SetReadyCaption(QStringLiteral("&Quit"));
    form.frame->repaint();
    QCOMPARE(form.frame->ReadyCaption(), QStringLiteral("&Quit"));
    QCOMPARE(end->text(), QStringLiteral("&Finish"));

    // A refused move still brings the buttons up to date.
    form.redirect = kPages - 1;
    QTest::mouseClick(form.button("BackBtn"), Qt::LeftButton);
    QCOMPARE(end->text(), QStringLiteral("&Quit"));

    form.redirect.reset();
    QTest::mouseClick(form.button("BackBtn"), Qt::LeftButton);
    QCOMPARE(end->text(), QStringLiteral("&Cancel"));
}

void TestWizardFrame::repaintAppliesFlags()
{
    Form form;
    QVERIFY(form.exposed);
    QPushButton *next = form.button("NextBtn");
    QPushButton *help = form.button("HelpBtn");

    // On the last page a move disables Next; a repaint gives it back, and
    // pressing it there leaves the page.
    form.reach(kPages - 1);
    QVERIFY(next->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(form.noteBook->currentIndex(), kPages - 1);
    QVERIFY(!next->isEnabled());
    form.frame->repaint();
    QVERIFY(next->isEnabled());

    // Without EnableNext, moves leave Next as the last repaint set it.
    form.frame->SetEnableNext(false);
    form.frame->repaint();
    QVERIFY(!next->isEnabled());
    QTest::mouseClick(form.button("BackBtn"), Qt::LeftButton);
    QCOMPARE(form.noteBook->currentIndex(), kPages - 2);
    QVERIFY(!next->isEnabled());
    form.frame->SetEnableNext(true);
    form.frame->repaint();
    QVERIFY(next->isEnabled());

    QVERIFY(help->isVisible());
    form.frame->SetEnableHelp(false);
    form.frame->repaint();
    QVERIFY(!help->isVisible());
    form.frame->SetEnableHelp(true);
    form.frame->repaint();
    QVERIFY(help->isVisible());
}

void TestWizardFrame::attachingANotebook_data()
{
    QTest::addColumn<int>("pages");
    QTest::newRow("one page") << 1;
    QTest::newRow("two pages") << 2;
    QTest::newRow("nine pages") << 9;
}

void TestWizardFrame::attachingANotebook()
{
    QFETCH(int, pages);
    Form form;
    QVERIFY(form.exposed);
    form.reach(kPages - 1);
    QPushButton *end = form.button("AbortBtn");
    end->setEnabled(false);

    TNotebook other(&form.window);
    for (int i = 0; i < pages; ++i)
        other.AddPage(QStringLiteral("p%1").arg(i), new QWidget);
    other.setCurrentIndex(pages - 1);
    form.frame->SetNoteBook(&other);

    QCOMPARE(form.frame->NoteBook(), &other);
    QCOMPARE(other.currentIndex(), 0);
    QVERIFY(!form.button("BackBtn")->isEnabled());
    QCOMPARE(form.button("NextBtn")->isEnabled(), pages > 1);
    QVERIFY(end->isEnabled());
    // What the last move set stays until the next one.
    QVERIFY(form.frame->IsLastPage());
    QCOMPARE(end->text(), QStringLiteral("&Finish"));
}

void TestWizardFrame::withoutNotebook()
{
    Form form;
    QVERIFY(form.exposed);
    form.reach(3);
    delete form.noteBook;
    QCOMPARE(form.frame->NoteBook(), nullptr);

    form.frame->SetReadyCaption(QStringLiteral("&Close"));
    form.frame->repaint();
    QVERIFY(!form.button("BackBtn")->isEnabled());
    QVERIFY(!form.button("NextBtn")->isEnabled());
    QCOMPARE(form.button("AbortBtn")->text(), QStringLiteral("&Close"));

    // The owner still hears of a press, though there is nothing to move.
    // Clicked before the next paint disables the button again.
    form.button("NextBtn")->setEnabled(true);
    form.button("NextBtn")->click();
    QCOMPARE(form.log, QStringList({QStringLiteral("next"), QStringLiteral("change")}));
}

void TestWizardFrame::endAndHelpLeaveItToTheOwner_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("event");
    QTest::newRow("end") << QStringLiteral("AbortBtn") << QStringLiteral("end");
    QTest::newRow("help") << QStringLiteral("HelpBtn") << QStringLiteral("help");
}

void TestWizardFrame::endAndHelpLeaveItToTheOwner()
{
    QFETCH(QString, button);
    QFETCH(QString, event);
    Form form;
    QVERIFY(form.exposed);
    form.reach(2);
    QTest::mouseClick(form.frame->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(form.log, QStringList{event});
    QCOMPARE(form.noteBook->currentIndex(), 2);
    QVERIFY(form.window.isVisible());

    // Unset, a press does nothing at all.
    form.frame->OnEndClick = nullptr;
    form.frame->OnHelpClick = nullptr;
    QTest::mouseClick(form.frame->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(form.log, QStringList{event});
}

void TestWizardFrame::translatedCaptions_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("button");
    QTest::newRow("back") << QStringLiteral("WzdForm.Wzd.Backcaption") << QStringLiteral("BackBtn");
    QTest::newRow("next") << QStringLiteral("WzdForm.Wzd.Nextcaption") << QStringLiteral("NextBtn");
    QTest::newRow("abort") << QStringLiteral("WzdForm.Wzd.Abortcaption") << QStringLiteral("AbortBtn");
    QTest::newRow("help") << QStringLiteral("WzdForm.Wzd.Helpcaption") << QStringLiteral("HelpBtn");
    QTest::newRow("ready, stored only") << QStringLiteral("WzdForm.Wzd.Readycaption") << QString();
}

void TestWizardFrame::translatedCaptions()
{
    QFETCH(QString, path);
    QFETCH(QString, button);
    Form form;
    QVERIFY(form.exposed);
    const QString text = QStringLiteral("Zurü&ck");
    TLanguage language;
    language.ApplyTranslation(path, text);

    const QString property = path.section('.', -1);
    QCOMPARE(form.frame->property(qPrintable(property.left(property.size() - 7) + "Caption")).toString(), text);
    const QStringList captions = {QStringLiteral("< &Back"), QStringLiteral("&Next >"), QStringLiteral("&Cancel"),
                                  QStringLiteral("&Help")};
    for (auto *other : form.frame->findChildren<QPushButton *>()) {
        if (other->objectName() == button)
            QCOMPARE(other->text(), text);
        else
            QVERIFY2(captions.contains(other->text()), qPrintable(other->objectName()));
    }
}

void TestWizardFrame::accelerators()
{
    Form form;
    QVERIFY(form.exposed);
    QApplication::setActiveWindow(&form.window);
    QVERIFY(QTest::qWaitForWindowActive(&form.window));

    // A mnemonic animates the press and clicks a moment later.
    QTest::keyClick(&form.window, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(form.noteBook->currentIndex(), 1);
    QTest::keyClick(&form.window, Qt::Key_B, Qt::AltModifier);
    QTRY_COMPARE(form.noteBook->currentIndex(), 0);

    // A translated caption brings its own letter.
    form.frame->SetNextCaption(QStringLiteral("&Weiter >"));
    QTest::keyClick(&form.window, Qt::Key_W, Qt::AltModifier);
    QTRY_COMPARE(form.noteBook->currentIndex(), 1);
    QCOMPARE(form.log.count(QStringLiteral("change")), 3);
}

void TestWizardFrame::notebookIgnoresBadIndices_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("shown");
    QTest::newRow("another page") << 5 << 4 << 4;
    QTest::newRow("the current page") << 5 << 2 << 2;
    QTest::newRow("negative") << 5 << -1 << 2;
    QTest::newRow("the page count") << 3 << 3 << 2;
}

void TestWizardFrame::notebookIgnoresBadIndices()
{
    QFETCH(int, pages);
    QFETCH(int, index);
    QFETCH(int, shown);
    TNotebook noteBook;
    for (int i = 0; i < pages; ++i)
        noteBook.AddPage(QStringLiteral("pa%1").arg(i), new QWidget);
    noteBook.SetPageIndex(2);
    int changes = 0;
    connect(&noteBook, &QStackedWidget::currentChanged, this, [&changes] { ++changes; });

    noteBook.setProperty("PageIndex", index);
    QCOMPARE(noteBook.PageIndex(), shown);
    QCOMPARE(changes, shown == 2 ? 0 : 1);
    QCOMPARE(noteBook.PageName(shown), QStringLiteral("pa%1").arg(shown));
    QCOMPARE(noteBook.IndexOfPage(QStringLiteral("PA%1").arg(shown)), shown);
    QCOMPARE(noteBook.IndexOfPage(QStringLiteral("pa9")), -1);
}

QTEST_MAIN(TestWizardFrame)
#include "tst_wizardframe.moc"
