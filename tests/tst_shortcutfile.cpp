// Shortcut files: shell links built byte by byte from their documented
// layout, and desktop entries.

#include "ShortcutFile.h"

#include <QTest>

namespace {

void u16(QByteArray &b, quint16 v)
{
    b.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
}

void u32(QByteArray &b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A shell link: header, optional link info (local path and/or network
// share) and string data.
QByteArray makeLink(const QByteArray &localBase, const QByteArray &share, const QByteArray &suffix,
                    const QString &relativePath, const QString &arguments, bool unicode)
{
    quint32 flags = 0;
    const bool info = !localBase.isEmpty() || !share.isEmpty();
    if (info)
        flags |= 0x02;
    if (!relativePath.isEmpty())
        flags |= 0x08;
    if (!arguments.isEmpty())
        flags |= 0x20;
    if (unicode)
        flags |= 0x80;
    flags |= 0x01; // an item id list, skipped by its size
    QByteArray b;
    u32(b, 0x4C);
    b.append(QByteArray::fromHex("0114020000000000c000000000000046"));
    u32(b, flags);
    b.append(QByteArray(0x4C - 24, '\0'));
    u16(b, 4);
    b.append("\x02\x00\xAA\xBB", 4);
    if (info) {
        QByteArray body;
        const quint32 headerSize = 28;
        QByteArray strings;
        quint32 localAt = 0, networkAt = 0;
        if (!localBase.isEmpty()) {
            localAt = headerSize + strings.size();
            strings += localBase + '\0';
        }
        if (!share.isEmpty()) {
            networkAt = headerSize + strings.size();
            QByteArray link;
            u32(link, 20);
            u32(link, 0);
            u32(link, 20); // the share's name right after this structure
            u32(link, 0);
            u32(link, 0);
            link += share + '\0';
            strings += link;
        }
        const quint32 suffixAt = headerSize + strings.size();
        strings += suffix + '\0';
        u32(body, headerSize + strings.size());
        u32(body, headerSize);
        u32(body, (localBase.isEmpty() ? 0 : 1) | (share.isEmpty() ? 0 : 2));
        u32(body, 0);
        u32(body, localAt);
        u32(body, networkAt);
        u32(body, suffixAt);
        b += body + strings;
    }
    for (const QString &text : {relativePath, arguments}) {
        if (text.isEmpty())
            continue;
        u16(b, static_cast<quint16>(text.size()));
        if (unicode)
            for (QChar c : text)
                u16(b, c.unicode());
        else
            b += text.toLatin1();
    }
    return b;
}

} // namespace

class TestShortcutFile : public QObject {
    Q_OBJECT

private slots:
    void links_data();
    void links();
    void desktopEntries_data();
    void desktopEntries();
};

void TestShortcutFile::links_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("command");
    QTest::newRow("local path and arguments")
        << makeLink("C:\\Program Files\\", "", "Viewer\\view.exe", QString(), QStringLiteral("-a photo.jpg"), true)
        << "C:\\Program Files\\Viewer\\view.exe  -a photo.jpg";
    QTest::newRow("network form preferred")
        << makeLink("C:\\local\\", "\\\\server\\share", "tool.exe", QString(), QString(), false)
        << "\\\\server\\share\\tool.exe  ";
    QTest::newRow("relative path when no link info")
        << makeLink("", "", "", QStringLiteral("..\\bin\\run.exe"), QString(), true) << "..\\bin\\run.exe  ";
    QTest::newRow("long arguments cut to 260")
        << makeLink("C:\\x.exe", "", "", QString(), QString(300, 'a'), true) << "C:\\x.exe  " + QString(260, 'a');
    QTest::newRow("not a link") << QByteArray("MZ\x90\x00", 4) << "";
    QTest::newRow("cut short") << makeLink("C:\\x.exe", "", "", QString(), QStringLiteral("args"), true).left(90) << "";
}

void TestShortcutFile::links()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, command);
    QCOMPARE(ShortcutFile::resolveLink(bytes), command);
}

void TestShortcutFile::desktopEntries_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("command");
    QTest::newRow("field codes dropped")
        << QByteArray("[Desktop Entry]\nName=Viewer\nExec=/usr/bin/viewer --open %U\n") << "/usr/bin/viewer --open";
    QTest::newRow("other groups ignored")
        << QByteArray("[Desktop Action new]\nExec=other\n[Desktop Entry]\nExec = gimp %f\n") << "gimp";
    QTest::newRow("no Exec line") << QByteArray("[Desktop Entry]\nName=x\n") << "";
}

void TestShortcutFile::desktopEntries()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, command);
    QCOMPARE(ShortcutFile::resolveDesktopEntry(bytes), command);
}

QTEST_GUILESS_MAIN(TestShortcutFile)
#include "tst_shortcutfile.moc"
