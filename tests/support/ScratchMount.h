#pragma once
// Real file systems mounted for a test (a tmpfs, a disk image through a loop
// device), unmounted when the object goes. Mounting needs root and a system
// that allows it (containers often do not), so callers first ask
// whyUnavailable() and skip with its reason.

#include <QString>
#include <QStringList>

class ScratchMount {
public:
    ScratchMount() = default;
    ~ScratchMount(); // unmounts what is still mounted
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    // Runs `mount OPTIONS SOURCE FOLDER`, making the folder first. False,
    // with error() telling why, when it fails.
    bool mount(const QStringList &options, const QString &source, const QString &folder);
    // Unmounts and, as a desktop does when a disk is taken out, removes the
    // folder.
    bool unmount();
    bool isMounted() const { return !m_folder.isEmpty(); }
    const QString &folder() const { return m_folder; }
    const QString &error() const { return m_error; }

    // Why this process cannot mount anything; empty when it may try.
    static QString whyUnavailable();
    // The same for disk images: also needs a free loop device.
    static QString whyLoopUnavailable();
    // Runs a program; false, with its output in error, when it fails.
    static bool run(const QString &program, const QStringList &arguments, QString *error = nullptr);

private:
    QString m_folder;
    QString m_error;
};
