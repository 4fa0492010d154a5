#include "FileManagerEntries.h"

#include "ShellTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kMark = QStringLiteral("X-Mantole-Entry");
const QString kThunarIdPrefix = QStringLiteral("mantole-");

QString withSlash(const QString &folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}

// One argument of a desktop entry's Exec line: always quoted (a program
// folder may hold spaces), with the quoting rules' and the string value's
// escapes, and "%" doubled so that it is not taken for a field code.
QString execArgument(const QString &argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted.replace('%', QStringLiteral("%%"));
    quoted.replace('\\', QStringLiteral("\\\\"));
    return '"' + quoted + '"';
}

// A text as a desktop entry's string value: a language file's backslash
// or line break must not end or change the value.
QString desktopString(const QString &text)
{
    QString value = text;
    value.replace('\\', QStringLiteral("\\\\"));
    value.replace('\n', QStringLiteral("\\n"));
    return value;
}

// For the shell, Nemo and Thunar, which split their command lines as a
// POSIX shell would.
QString shellArgument(const QString &argument)
{
    return '\'' + QString(argument).replace('\'', QStringLiteral("'\\''")) + '\'';
}

QString xmlText(const QString &text)
{
    return text.toHtmlEscaped();
}

// A menu text as a file name (GNOME Files shows a script by its name).
QString scriptName(const QString &text)
{
    QString name = text.trimmed();
    name.replace('/', '-');
    return name.isEmpty() || name.startsWith('.') ? QStringLiteral("Mantole ") + name : name;
}

QString joined(const QStringList &items)
{
    return items.join(';') + ';';
}

// Our three commands.
struct Command {
    const char *id;     // for file names and action ids
    QString text;       // the menu text
    QString program;    // the program it runs
    QStringList args;   // before the selected files
    QStringList mimeTypes;
    QStringList extensions;
};

QList<Command> commands(const QString &folder, const ShellMenuTexts &texts)
{
    const QString handler = folder + QStringLiteral("mantole-shell");
    const QString wizard = folder + QStringLiteral("mantole");
    return {
        {"zip-to-exe", texts.zipToExe, handler, {QStringLiteral("to-exe")}, FileManagerEntries::zipMimeTypes(),
         {QStringLiteral("zip")}},
        {"exe-to-zip", texts.exeToZip, handler, {QStringLiteral("to-zip")}, FileManagerEntries::exeMimeTypes(),
         {QStringLiteral("exe")}},
        {"open", texts.open, wizard, {}, FileManagerEntries::zipMimeTypes() + FileManagerEntries::exeMimeTypes(),
         {QStringLiteral("zip"), QStringLiteral("exe")}},
    };
}

QString execLine(const Command &command, const char *fieldCode)
{
    QStringList parts{execArgument(command.program)};
    for (const QString &arg : command.args)
        parts << execArgument(arg);
    parts << QLatin1String(fieldCode);
    return parts.join(' ');
}

QString shellLine(const Command &command, const QString &files)
{
    QStringList parts{shellArgument(command.program)};
    for (const QString &arg : command.args)
        parts << shellArgument(arg);
    parts << files;
    return parts.join(' ');
}

// One Dolphin service menu: the commands that serve these MIME types.
// Dolphin (KIO 5.85 and later) reads any entry in kio/servicemenus whose
// MimeType matches and whose Actions it lists, Type Service or Application,
// when the file is executable; X-KDE-ServiceTypes is for older releases. It
// is an application entry kept out of menus because the freedesktop
// validator refuses MimeType and Actions on Type=Service.
QByteArray serviceMenu(const QList<Command> &all, const QStringList &mimeTypes)
{
    QStringList ids;
    QString actions;
    for (const Command &command : all) {
        bool serves = false;
        for (const QString &type : mimeTypes)
            serves = serves || command.mimeTypes.contains(type);
        if (!serves)
            continue;
        const QString id = QString::fromLatin1(command.id).remove('-');
        ids << id;
        actions += QStringLiteral("\n[Desktop Action %1]\nName=%2\nIcon=mantole\nExec=%3\n")
                       .arg(id, desktopString(command.text), execLine(command, "%F"));
    }
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Mantole\nNoDisplay=true\nIcon=mantole\n"
                          "Exec=%1\nMimeType=%2\nActions=%3\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                          "X-KDE-Priority=TopLevel\n%4=true\n")
               .arg(execLine(all.last(), "%F"), joined(mimeTypes), joined(ids), kMark)
               .append(actions)
               .toUtf8();
}

} // namespace

ShellMenuTexts ShellMenuTexts::fromLanguageFile(const QString &fileName)
{
    const ShellTexts texts(fileName);
    return {texts.text("reg/ZipToExe").trimmed(), texts.text("reg/ExeToZip").trimmed(), texts.text("reg/Open").trimmed(),
            texts.text("Shell/GenericName").trimmed(), texts.text("Shell/Comment").trimmed()};
}

FileManagerEntries::FileManagerEntries(const QString &dataHome, const QString &configHome)
    : m_data(withSlash(dataHome)), m_config(withSlash(configHome))
{
}

FileManagerEntries FileManagerEntries::forUser()
{
    return FileManagerEntries(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                              QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString FileManagerEntries::serviceMenuFolder() const { return m_data + QStringLiteral("kio/servicemenus/"); }
QString FileManagerEntries::scriptFolder() const { return m_data + QStringLiteral("nautilus/scripts/"); }
QString FileManagerEntries::nemoFolder() const { return m_data + QStringLiteral("nemo/actions/"); }
QString FileManagerEntries::thunarActions() const { return m_config + QStringLiteral("Thunar/uca.xml"); }
QString FileManagerEntries::applicationEntry() const { return m_data + QStringLiteral("applications/mantole.desktop"); }
QString FileManagerEntries::iconTheme() const { return m_data + QStringLiteral("icons/hicolor/"); }

QStringList FileManagerEntries::zipMimeTypes()
{
    return {QStringLiteral("application/zip"), QStringLiteral("application/x-zip-compressed")};
}

QStringList FileManagerEntries::exeMimeTypes()
{
    // shared-mime-info calls them x-ms-dos-executable; newer releases add
    // the PE name and keep the older one as an alias.
    return {QStringLiteral("application/x-ms-dos-executable"), QStringLiteral("application/x-msdownload"),
            QStringLiteral("application/vnd.microsoft.portable-executable")};
}

bool FileManagerEntries::writeFile(const QString &fileName, const QByteArray &bytes, bool executable)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        m_error = fileName;
        return false;
    }
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
        | QFileDevice::ReadOther;
    if (executable)
        permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    file.setPermissions(permissions);
    if (!file.commit()) {
        m_error = fileName;
        return false;
    }
    return true;
}

void FileManagerEntries::removeMarked(const QString &folder, const QStringList &patterns)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList(patterns, QDir::Files | QDir::Hidden)) {
        QFile file(dir.filePath(name));
        // Ours say so near their top; a user's file of the same name stays.
        if (file.open(QIODevice::ReadOnly) && file.read(64 * 1024).contains(kMark.toUtf8())) {
            file.close();
            file.remove();
        }
    }
}

bool FileManagerEntries::install(const QString &programFolder, const ShellMenuTexts &texts)
{
    m_error.clear();
    uninstall();
    const QString folder = withSlash(programFolder);
    const QList<Command> all = commands(folder, texts);

    if (!writeFile(serviceMenuFolder() + QStringLiteral("mantole-zip.desktop"), serviceMenu(all, zipMimeTypes()), true)
        || !writeFile(serviceMenuFolder() + QStringLiteral("mantole-exe.desktop"), serviceMenu(all, exeMimeTypes()),
                      true))
        return false;

    for (const Command &command : all) {
        const QString script = QStringLiteral("#!/bin/sh\n# %1: Mantole's menu entry, removed with it.\n"
                                              "# GNOME Files passes the selected local files as arguments.\nexec %2\n")
                                   .arg(kMark, shellLine(command, QStringLiteral("\"$@\"")));
        if (!writeFile(scriptFolder() + scriptName(command.text), script.toUtf8(), true))
            return false;
        const QString action = QStringLiteral("# %1\n[Nemo Action]\nName=%2\nComment=%2\nExec=%3\nIcon-Name=mantole\n"
                                              "Selection=notnone\nExtensions=%4\n")
                                   .arg(kMark, QString(command.text).replace('%', QStringLiteral("%%")),
                                        shellLine(command, QStringLiteral("%F")), joined(command.extensions));
        if (!writeFile(nemoFolder() + QStringLiteral("mantole-%1.nemo_action").arg(QLatin1String(command.id)),
                       action.toUtf8(), false))
            return false;
    }

    const QString application =
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Mantole\nGenericName=%1\nComment=%2\n"
                       "Icon=mantole\nExec=%3 %f\nTerminal=false\nMimeType=%4\n"
                       "Categories=Utility;Archiving;Compression;\n%5=true\n")
            .arg(desktopString(texts.genericName), desktopString(texts.comment),
                 execArgument(folder + QStringLiteral("mantole")), joined(zipMimeTypes() + exeMimeTypes()), kMark);
    if (!writeFile(applicationEntry(), application.toUtf8(), false))
        return false;

    // Every size the program folder has; the entries name the icon, the
    // theme finds it. Our PNG files carry the mark in a text chunk.
    const QDir sizes(folder + QStringLiteral("icons/hicolor"));
    for (const QString &size : sizes.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile icon(sizes.filePath(size + QStringLiteral("/apps/mantole.png")));
        if (!icon.open(QIODevice::ReadOnly))
            continue;
        if (!writeFile(iconTheme() + size + QStringLiteral("/apps/mantole.png"), icon.readAll(), false))
            return false;
    }
    return writeThunarActions(folder, texts);
}

void FileManagerEntries::uninstall()
{
    removeMarked(serviceMenuFolder(), {QStringLiteral("mantole-*.desktop")});
    removeMarked(scriptFolder(), {QStringLiteral("*")});
    removeMarked(nemoFolder(), {QStringLiteral("mantole-*.nemo_action")});
    removeMarked(QFileInfo(applicationEntry()).absolutePath(), {QStringLiteral("mantole.desktop")});
    for (const QString &size : QDir(iconTheme()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        removeMarked(iconTheme() + size + QStringLiteral("/apps"), {QStringLiteral("mantole.png")});
    removeThunarActions();
}

namespace {

// The action elements of uca.xml that are ours. The rest of the file is
// kept as the user (or Thunar) wrote it, byte for byte.
const QRegularExpression &ourAction()
{
    static const QRegularExpression re(
        QStringLiteral("[ \\t]*<action>(?:(?!</action>).)*<unique-id>") + kThunarIdPrefix
            + QStringLiteral("[^<]*</unique-id>(?:(?!</action>).)*</action>[ \\t]*\\n?"),
        QRegularExpression::DotMatchesEverythingOption);
    return re;
}

} // namespace

bool FileManagerEntries::removeThunarActions()
{
    QFile file(thunarActions());
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QString before = QString::fromUtf8(file.readAll());
    file.close();
    QString after = before;
    after.remove(ourAction());
    if (after == before)
        return true;
    return writeFile(thunarActions(), after.toUtf8(), false);
}

bool FileManagerEntries::writeThunarActions(const QString &programFolder, const ShellMenuTexts &texts)
{
    QString ours;
    for (const Command &command : commands(programFolder, texts)) {
        QStringList patterns;
        for (const QString &extension : command.extensions)
            patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
        ours += QStringLiteral("<action>\n\t<icon>mantole</icon>\n\t<name>%1</name>\n\t<submenu></submenu>\n"
                               "\t<unique-id>%2%3</unique-id>\n\t<command>%4</command>\n"
                               "\t<description>%1</description>\n\t<range>*</range>\n\t<patterns>%5</patterns>\n"
                               "\t<other-files/>\n</action>\n")
                    .arg(xmlText(command.text), kThunarIdPrefix, QLatin1String(command.id),
                         xmlText(shellLine(command, QStringLiteral("%F"))), patterns.join(';'));
    }
    QString content;
    QFile file(thunarActions());
    if (file.open(QIODevice::ReadOnly)) {
        content = QString::fromUtf8(file.readAll());
        file.close();
    }
    const qsizetype end = content.lastIndexOf(QStringLiteral("</actions>"));
    if (end >= 0) {
        content.insert(end, ours);
    } else if (content.trimmed().isEmpty()) {
        content = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n") + ours
            + QStringLiteral("</actions>\n");
    } else {
        // Not a file we understand: leave the user's actions alone.
        m_error = thunarActions();
        return false;
    }
    return writeFile(thunarActions(), content.toUtf8(), false);
}
