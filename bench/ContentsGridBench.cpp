// Fills the contents grid from a big archive and sorts it by a heading
// click, as the wizard does, and prints how long each took and the peak
// memory. Run by bench/contents-100k.sh.

#include "ArchiverHost.h"
#include "ContentsModel.h"
#include "Dialogs.h"
#include "ProgramFolder.h"
#include "TWzdForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

class QuietHost final : public ArchiverHost {
public:
    void showMessage(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool askForDisk(const QString &, bool) override { return false; }
    std::optional<QString> askPassword(const QString &, const QString &) override { return std::nullopt; }
    void setBusy(bool) override {}
    void processEvents() override {}
};

class QuietDialogs final : public Dialogs {
public:
    ArchiverHost *archiverHost(QWidget *) override { return &m_host; }
    void error(QWidget *, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }

private:
    QuietHost m_host;
};

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER ARCHIVE\n", argv[0]);
        return 2;
    }
    QTemporaryDir user;
    const ProgramFolder paths = ProgramFolder::forFolder(QString::fromLocal8Bit(argv[1]), user.filePath(QStringLiteral("config")),
                                                         user.filePath(QStringLiteral("cache")));
    QuietDialogs dialogs;
    TWzdForm form(paths, &dialogs);
    form.EdZipFn->blockSignals(true);
    form.EdZipFn->setText(QString::fromLocal8Bit(argv[2]));
    form.EdZipFn->blockSignals(false);
    form.UpdateTop();

    QElapsedTimer clock;
    clock.start();
    form.UpdateGrid();
    const qint64 filled = clock.restart();
    form.StringGrid1ClickSort(0);
    const qint64 sorted = clock.elapsed();
    std::printf("entries %d\nUpdateGrid %lld ms\nheading click (sort) %lld ms\npeak memory %ld KiB\n",
                form.GridModel->rowCount() - 1, static_cast<long long>(filled), static_cast<long long>(sorted), peakKiB());
    return 0;
}
