// The contents grid's rows: entries, the red status row kept last through
// every sort, and the status text's ratio and size.

#include "ContentsModel.h"
#include "ZipDirEntry.h"

#include <QBrush>
#include <QTest>

namespace {

std::vector<ZipDirEntry> entries(const QStringList &names)
{
    std::vector<ZipDirEntry> list;
    for (const QString &name : names) {
        ZipDirEntry e;
        e.FileName = name;
        list.push_back(e);
    }
    return list;
}

QStringList shown(const ContentsModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows << model.data(model.index(row, 0), Qt::DisplayRole).toString();
    return rows;
}

} // namespace

class TestContentsModel : public QObject {
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void statusRowStaysLast();
    void statusText_data();
    void statusText();
};

void TestContentsModel::rows_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("none: one empty row") << QStringList{} << QStringList{""};
    QTest::newRow("one") << QStringList{"a.txt"} << QStringList{"a.txt", "status"};
    QTest::newRow("three, sorted") << QStringList{"c.txt", "A.txt", "b\\x.txt"}
                                   << QStringList{"A.txt", "b\\x.txt", "c.txt", "status"};
}

void TestContentsModel::rows()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    const std::vector<ZipDirEntry> list = entries(names);
    ContentsModel model;
    model.reset(&list, QStringLiteral("Contents of x.zip"), QStringLiteral("status"));
    QCOMPARE(shown(model), expected);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Contents of x.zip"));
    const QModelIndex last = model.index(model.rowCount() - 1, 0);
    QVERIFY(model.isStatusRow(last.row()));
    QCOMPARE(model.nameAt(last.row()), QString());
    QCOMPARE(model.data(last, Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    if (model.rowCount() > 1)
        QVERIFY(!model.data(model.index(0, 0), Qt::ForegroundRole).isValid());
}

void TestContentsModel::statusRowStaysLast()
{
    const std::vector<ZipDirEntry> list = entries({"b", "a", "C"});
    ContentsModel model;
    model.reset(&list, QString(), QStringLiteral("3 files"));
    model.sort(0, Qt::DescendingOrder);
    QCOMPARE(shown(model), (QStringList{"C", "b", "a", "3 files"}));
    model.sort(0, Qt::AscendingOrder);
    QCOMPARE(shown(model), (QStringList{"a", "b", "C", "3 files"}));
    // A refill keeps the last order.
    model.sort(0, Qt::DescendingOrder);
    model.reset(&list, QString(), QStringLiteral("3 files"));
    QCOMPARE(shown(model), (QStringList{"C", "b", "a", "3 files"}));
}

void TestContentsModel::statusText_data()
{
    QTest::addColumn<QList<qint64>>("sizes"); // compressed, uncompressed, …
    QTest::addColumn<qint64>("archiveSize");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << QList<qint64>{1000, 2000, 3000, 6000} << qint64(1023)
                          << "2 files / Compression :50% / Taille archive :1023 b";
    QTest::newRow("all empty") << QList<qint64>{0, 0} << qint64(1024)
                               << "1 files / Compression :0% / Taille archive :1 Ko";
    QTest::newRow("grown: negative") << QList<qint64>{150, 100} << qint64(200)
                                     << "1 files / Compression :-50% / Taille archive :200 b";
    // Past 32 bits, where 32-bit sums would wrap.
    QTest::newRow("Zip64 sizes") << QList<qint64>{qint64(3) << 31, qint64(6) << 31, qint64(3) << 31, qint64(6) << 31}
                                 << (qint64(6) << 30) << "2 files / Compression :50% / Taille archive :6 Go";
}

void TestContentsModel::statusText()
{
    QFETCH(QList<qint64>, sizes);
    QFETCH(qint64, archiveSize);
    QFETCH(QString, text);
    std::vector<ZipDirEntry> list;
    for (int i = 0; i + 1 < sizes.size(); i += 2) {
        ZipDirEntry e;
        e.CompressedSize = static_cast<uint64_t>(sizes[i]);
        e.UncompressedSize = static_cast<uint64_t>(sizes[i + 1]);
        list.push_back(e);
    }
    QCOMPARE(StatusRowText(list, QStringLiteral(" files"), archiveSize), text);
}

QTEST_GUILESS_MAIN(TestContentsModel)
#include "tst_contentsmodel.moc"
