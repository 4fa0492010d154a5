#include "ShellHandler.h"

#include "ArchiverHost.h"
#include "FonctionsUtiles.h"
#include "LanguageFilePath.h"
#include "PrivateProfile.h"
#include "RegistryStore.h"
#include "ShellRegister.h"
#include "ZipArchiver.h"
#include "ZipToExeOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString withSlash(const QString &folder)
{
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString withExtension(const QString &path, const QString &extension)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? path.left(dot) : path) + extension;
}

// The engine's messages, kept to be told with the failure they explain.
class CollectingHost final : public ArchiverHost {
public:
    void showMessage(const QString &text) override { said << text; }
    bool askForDisk(const QString &, bool) override { return false; }
    std::optional<QString> askPassword(const QString &, const QString &) override { return std::nullopt; }
    void setBusy(bool) override {}
    void processEvents() override {}
    QStringList said;
};

QString failure(const QString &what, const CollectingHost &host, int result, const ShellTexts &texts)
{
    QString text = what;
    for (const QString &message : host.said)
        text += QLatin1Char('\n') + message;
    if (host.said.isEmpty())
        text += QLatin1Char(' ') + texts.text("Shell/Result").arg(result);
    return text;
}

} // namespace

ShellHandlerSettings ShellHandlerSettings::load(const QString &ownFolder)
{
    ShellHandlerSettings s;
    RegistryStore store;
    const bool known = store.openKey(ShellKeys::ProgKey, false);
    const auto value = [&](const char *name) {
        return known ? store.readString(QLatin1String(name)) : std::nullopt;
    };
    const QString path = value("pathorlume").value_or(QString());
    s.programFolder = withSlash(path.isEmpty() || !QFileInfo(path).isDir() ? ownFolder : path);
    s.datePrefix = value("date").value_or(QStringLiteral("1")) != QLatin1String("0");
    s.dayFirst = value("jjmm").value_or(QStringLiteral("1")) != QLatin1String("0");
    s.lastFolder = value("last").value_or(QString()).trimmed();
    return s;
}

QString ShellHandlerSettings::wizardLanguageFile() const
{
    const QString name =
        PrivateProfile(iniFileName).readString(QStringLiteral("general"), QStringLiteral("lang"), QStringLiteral("French"));
    return LanguageFilePath(name, programFolder);
}

ShellHandler::ShellHandler(const ShellHandlerSettings &settings, ShellHandlerUser &user)
    : m_settings(settings)
    , m_user(user)
    , m_texts(settings.languageFile)
{
}

QString ShellHandler::executableFor(const QString &archive) const
{
    const QFileInfo source(archive);
    const QString folder = m_settings.lastFolder.isEmpty() ? source.absolutePath() : m_settings.lastFolder;
    return withSlash(folder) + DatePrefixText(m_settings.dayFirst, m_settings.datePrefix)
        + FileStem(source.fileName()) + QStringLiteral(".exe");
}

bool ShellHandler::zipToExe(const QString &archive)
{
    const QString destination = executableFor(archive);
    const QString folder = QFileInfo(destination).absolutePath();
    if (!QFileInfo(archive).isFile()) {
        m_user.error(m_texts.text("Shell/CannotRead").arg(archive));
        return false;
    }
    if (!QFileInfo(folder).isDir()) {
        m_user.error(m_texts.text("Shell/NoFolder").arg(folder));
        return false;
    }
    if (QFileInfo::exists(destination)
        && !m_user.confirm(QStringLiteral("[ ") + destination + QStringLiteral(" ]") + m_texts.text("Messages/Msg_ZiporExeExist")))
        return false;

    // The engine erases its input and writes beside it: it works on a copy
    // in a folder of its own beside the destination, and the result takes
    // the destination's name only when complete.
    QTemporaryDir work(folder + QStringLiteral("/.mantole-shell-XXXXXX"));
    if (!work.isValid()) {
        m_user.error(m_texts.text("Shell/CannotWriteIn").arg(folder));
        return false;
    }
    CollectingHost host;
    TZipArchiver za(&host);
    const QString copy = work.filePath(QFileInfo(destination).completeBaseName() + QStringLiteral(".zip"));
    if (const int copied = za.CopyZipFile(archive, copy); copied != 0) {
        m_user.error(failure(m_texts.text("Shell/CannotCopy").arg(archive, folder), host, copied, m_texts));
        return false;
    }
    za.setZipFileName(copy);
    if (za.ZipFileName().isEmpty()) {
        m_user.error(failure(m_texts.text("Shell/NotAnArchive").arg(archive), host, -3, m_texts));
        return false;
    }
    za.SFXPath = m_settings.programFolder + QStringLiteral("SfxStub.bin");
    ZipToExeOptions::fromSettings(PrivateProfile(m_settings.iniFileName), m_settings.programFolder).applyTo(za);
    if (const int result = za.WriteSFX(); result != 0) {
        m_user.error(failure(m_texts.text("Shell/CannotMake").arg(destination), host, result, m_texts));
        return false;
    }
    if (QFileInfo::exists(destination))
        QFile::remove(destination);
    if (!QFile::rename(za.ZipFileName(), destination)) {
        m_user.error(m_texts.text("Shell/CannotWrite").arg(destination));
        return false;
    }
    return true;
}

bool ShellHandler::exeToZip(const QString &executable)
{
    const QString archive = withExtension(executable, QStringLiteral(".zip"));
    if (QFileInfo::exists(archive)
        && !m_user.confirm(QStringLiteral("[ ") + archive + QStringLiteral(" ]") + m_texts.text("Messages/Msg_ZiporExeExist")))
        return false;
    // The engine erases the executable it turns back: it works on a copy in
    // a folder of its own, and the archive takes its name when complete.
    const QString folder = QFileInfo(archive).absolutePath();
    QTemporaryDir work(folder + QStringLiteral("/.mantole-shell-XXXXXX"));
    if (!work.isValid()) {
        m_user.error(m_texts.text("Shell/CannotWriteIn").arg(folder));
        return false;
    }
    CollectingHost host;
    TZipArchiver za(&host);
    const QString copy = work.filePath(QFileInfo(archive).completeBaseName() + QStringLiteral(".exe"));
    if (const int copied = za.CopyZipFile(executable, copy); copied != 0) {
        m_user.error(failure(m_texts.text("Shell/CannotRead").arg(executable), host, copied, m_texts));
        return false;
    }
    za.setZipFileName(copy);
    if (za.ZipFileName().isEmpty()) {
        m_user.error(failure(m_texts.text("Shell/NoArchiveInside").arg(executable), host, -3, m_texts));
        return false;
    }
    if (const int result = za.StripSFX(); result != 0) {
        m_user.error(failure(m_texts.text("Shell/CannotTurnBack").arg(executable), host, result, m_texts));
        return false;
    }
    if (QFileInfo::exists(archive))
        QFile::remove(archive);
    if (!QFile::rename(withExtension(copy, QStringLiteral(".zip")), archive)) {
        m_user.error(m_texts.text("Shell/CannotWrite").arg(archive));
        return false;
    }
    return true;
}
