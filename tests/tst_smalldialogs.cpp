// The two-button question, the version table and the About box.

#include "TAbout.h"
#include "TDlg2Btn.h"
#include "VersionInfo.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestSmallDialogs : public QObject {
    Q_OBJECT

private slots:
    void pictures_data();
    void pictures();
    void answers_data();
    void answers();
    void versionTable();
    void aboutBox();
};

void TestSmallDialogs::pictures_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("shown");
    QTest::newRow("question") << "?" << "ImgAsk";
    QTest::newRow("warning") << "!" << "ImgWar";
    QTest::newRow("no entry") << "#" << "ImgNoWay";
    QTest::newRow("anything else") << "x" << "";
}

void TestSmallDialogs::pictures()
{
    QFETCH(QString, selector);
    QFETCH(QString, shown);
    TDlg2Btn dialog;
    dialog.showIcon(selector);
    dialog.show();
    for (QLabel *picture : {dialog.ImgAsk, dialog.ImgWar, dialog.ImgNoWay})
        QCOMPARE(picture->isVisible(), picture->objectName() == shown);
}

void TestSmallDialogs::answers_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("answer");
    QTest::newRow("Enter: the first button") << "enter" << true;
    QTest::newRow("first button") << "yes" << true;
    QTest::newRow("second button") << "no" << false;
    QTest::newRow("close box") << "close" << false;
}

void TestSmallDialogs::answers()
{
    QFETCH(QString, how);
    QFETCH(bool, answer);
    QTimer::singleShot(0, [how] {
        auto *dialog = qobject_cast<TDlg2Btn *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Title"));
        QCOMPARE(dialog->Yes->text(), QStringLiteral("&Oui"));
        if (how == QLatin1String("enter"))
            QTest::keyClick(dialog, Qt::Key_Return);
        else if (how == QLatin1String("yes"))
            dialog->Yes->click();
        else if (how == QLatin1String("no"))
            dialog->No->click();
        else
            dialog->close();
    });
    QCOMPARE(AskDlg2Btn(nullptr, QStringLiteral("Title"), QStringLiteral("Leave?"), QStringLiteral("&Oui"),
                        QStringLiteral("&Non"), QStringLiteral("?")),
             answer);
}

void TestSmallDialogs::versionTable()
{
    QCOMPARE(VersionTranslation(), QStringLiteral("040C04E4"));
    QCOMPARE(ReadVersionString(TInfo::FileVersion), QStringLiteral("1.4.0.0"));
    QCOMPARE(ReadVersionString(TInfo::LegalCopyright), QString()); // no such entry
}

void TestSmallDialogs::aboutBox()
{
    TAbout about({QStringLiteral("Fermer"), QStringLiteral("Ana"), QStringLiteral("the translator")});
    QCOMPARE(about.OKButton->text(), QStringLiteral("Fermer"));
    QCOMPARE(about.Label11->text(), QStringLiteral("Version : 1.4.0.0"));
    QCOMPARE(about.LbWebTrans->text(), QStringLiteral("Ana"));
    QCOMPARE(about.LbWebTrans->toolTip(), QStringLiteral("the translator"));
    QList<QUrl> opened;
    about.openUrl = [&opened](const QUrl &url) { opened << url; };
    auto *credits = about.findChild<QLabel *>(QStringLiteral("Label5"));
    QVERIFY(credits);
    emit credits->linkActivated(QStringLiteral("https://zlib.net/"));
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://zlib.net/"))});
    int helpAsked = 0;
    about.openHelp = [&helpAsked] { ++helpAsked; };
    about.BttnHlp->click();
    QCOMPARE(helpAsked, 1);
    about.show();
    about.OKButton->click();
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(TestSmallDialogs)
#include "tst_smalldialogs.moc"
