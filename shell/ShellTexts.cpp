#include "ShellTexts.h"

#include "PrivateProfile.h"

namespace {

struct Entry {
    const char *key;
    const char *english;
};

constexpr Entry kTexts[] = {
    {"reg/ZipToExe", "Make a self-extracting executable"},
    {"reg/ExeToZip", "Turn back into a ZIP archive"},
    {"reg/Open", "Open in Mantole"},
    {"Shell/GenericName", "Self-extracting executable maker"},
    {"Shell/Comment", "Turns ZIP archives into self-extracting Windows executables and back"},
    {"Shell/CannotRead", "Cannot read %1"},
    {"Shell/NoFolder", "The destination folder does not exist: %1"},
    {"Shell/CannotWriteIn", "Cannot write in %1"},
    {"Shell/CannotCopy", "Cannot copy %1 to %2"},
    {"Shell/NotAnArchive", "Not a valid ZIP archive: %1"},
    {"Shell/CannotMake", "Cannot make %1"},
    {"Shell/CannotWrite", "Cannot write %1"},
    {"Shell/NoArchiveInside", "%1 holds no ZIP archive"},
    {"Shell/CannotTurnBack", "Cannot turn %1 back into an archive"},
    {"Shell/Result", "(result %1)"},
    // The wizard's own, so that both ask alike.
    {"Messages/Msg_ZiporExeExist", " already exists. Do you want to replace it?"},
    {"Buttons/sConfirm", "Please confirm"},
    {"Buttons/sYes", "&Yes"},
    {"Buttons/sNo", "&No"},
};

} // namespace

ShellTexts::ShellTexts(const QString &languageFile)
    : m_file(languageFile)
{
}

QString ShellTexts::text(const char *sectionAndKey) const
{
    const QString path = QLatin1String(sectionAndKey);
    QString english;
    for (const Entry &entry : kTexts)
        if (path == QLatin1String(entry.key))
            english = QString::fromUtf8(entry.english);
    Q_ASSERT(!english.isEmpty());
    if (m_file.isEmpty())
        return english;
    const qsizetype slash = path.indexOf('/');
    // Not trimmed: the replace question is joined to a file name by its blank.
    const QString value = PrivateProfile(m_file).readString(path.left(slash), path.mid(slash + 1), QString());
    return value.trimmed().isEmpty() ? english : value;
}

QStringList ShellTexts::keys()
{
    QStringList all;
    for (const Entry &entry : kTexts)
        all << QLatin1String(entry.key);
    return all;
}
