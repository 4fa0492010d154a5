// The password dialog, driven offscreen: its layout, and what OK, Cancel
// and Esc give back.

#include "TPasswordDlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Acts on the dialog once it is shown modally.
void whenShown(const std::function<void(TPasswordDlg *)> &action)
{
    QTimer::singleShot(0, [action] {
        auto *dialog = qobject_cast<TPasswordDlg *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        action(dialog);
    });
}

} // namespace

class TestPasswordDlg : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void answers_data();
    void answers();
};

void TestPasswordDlg::layout()
{
    TPasswordDlg dialog;
    QCOMPARE(dialog.size(), QSize(344, 137));
    QVERIFY(dialog.font().bold());
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Prompt"))->geometry(), QRect(20, 8, 297, 18));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("Password"));
    QCOMPARE(edit->geometry().topLeft(), QPoint(20, 40));
    QCOMPARE(edit->width(), 297);
    QCOMPARE(edit->echoMode(), QLineEdit::Password);
    QCOMPARE(edit->maxLength(), 511);
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect(44, 72, 90, 28));
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("Cancel"));
    QCOMPARE(cancel->geometry(), QRect(205, 72, 90, 28));
    QCOMPARE(cancel->text(), QStringLiteral("Annuler"));
}

void TestPasswordDlg::answers_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("text");
    QTest::newRow("typed and OK") << "ok" << true << "s3cret";
    QTest::newRow("Enter") << "enter" << true << "s3cret";
    QTest::newRow("Cancel") << "cancel" << false << "";
    QTest::newRow("Esc") << "escape" << false << "";
}

void TestPasswordDlg::answers()
{
    QFETCH(QString, how);
    QFETCH(bool, accepted);
    QFETCH(QString, text);
    whenShown([how](TPasswordDlg *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Mot de passe"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("Prompt"))->text(), QStringLiteral("Entrez-le"));
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("Password"));
        QTest::keyClicks(edit, QStringLiteral("s3cret"));
        if (how == QLatin1String("ok"))
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OK")), Qt::LeftButton);
        else if (how == QLatin1String("cancel"))
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Cancel")), Qt::LeftButton);
        else
            QTest::keyClick(edit, how == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Escape);
    });
    const auto [wasAccepted, typed] = RunPasswordDialog(QStringLiteral("Mot de passe"), QStringLiteral("Entrez-le"));
    QCOMPARE(wasAccepted, accepted);
    QCOMPARE(typed, text);
}

QTEST_MAIN(TestPasswordDlg)
#include "tst_passworddlg.moc"
