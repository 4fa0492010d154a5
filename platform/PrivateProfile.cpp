#include "PrivateProfile.h"

#include <QFile>
#include <QSaveFile>

namespace {

// The name of a section line "[name]", or nullopt for other lines.
std::optional<QString> sectionName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Key and value of an entry line "key=value"; nullopt for other lines.
std::optional<std::pair<QString, QString>> entry(const QString &line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0 || sectionName(line))
        return std::nullopt;
    return std::make_pair(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
}

QString unquoted(QString value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(PrivateProfile::kMaxValueLength);
}

// Index range [first, end) of the section's lines after its header; first
// is -1 when the section is missing.
std::pair<qsizetype, qsizetype> sectionRange(const QStringList &lines, const QString &section)
{
    qsizetype first = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<QString> name = sectionName(lines[i]);
        if (!name)
            continue;
        if (first >= 0)
            return {first, i};
        if (sameName(*name, section))
            first = i + 1;
    }
    return {first, lines.size()};
}

} // namespace

ProfileWriteError::ProfileWriteError(const QString &path)
    : std::runtime_error(QStringLiteral("Ne peut écrire dans %1").arg(path).toStdString()),
      m_message(QStringLiteral("Ne peut écrire dans %1").arg(path))
{
}

QStringList PrivateProfile::readLines() const
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void PrivateProfile::writeLines(const QStringList &lines) const
{
    QSaveFile file(m_fileName);
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ProfileWriteError(m_fileName);
}

std::optional<QString> PrivateProfile::readValue(const QString &section, const QString &key) const
{
    return valueIn(readSection(section), key);
}

ProfileEntries PrivateProfile::readSection(const QString &section) const
{
    const QStringList lines = readLines();
    const auto [first, end] = sectionRange(lines, section);
    ProfileEntries entries;
    for (qsizetype i = first; first >= 0 && i < end; ++i)
        if (const auto e = entry(lines[i]))
            entries.append({e->first, unquoted(e->second)});
    return entries;
}

std::optional<QString> PrivateProfile::valueIn(const ProfileEntries &entries, const QString &key)
{
    for (const auto &[name, value] : entries)
        if (sameName(name, key))
            return value;
    return std::nullopt;
}

QString PrivateProfile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    return readValue(section, key).value_or(defaultValue.left(kMaxValueLength));
}

int PrivateProfile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> value = readValue(section, key);
    if (!value)
        return defaultValue;
    bool ok = false;
    int number = 0;
    if (value->size() > 2 && (value->startsWith(QLatin1String("0x")) || value->startsWith(QLatin1String("0X"))))
        number = static_cast<int>(value->mid(2).toUInt(&ok, 16));
    else
        number = value->toInt(&ok, 10);
    return ok ? number : defaultValue;
}

bool PrivateProfile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QStringList PrivateProfile::readSectionKeys(const QString &section) const
{
    const QStringList lines = readLines();
    const auto [first, end] = sectionRange(lines, section);
    QStringList keys;
    qsizetype used = 1; // the final NUL
    for (qsizetype i = first; first >= 0 && i < end; ++i) {
        const auto e = entry(lines[i]);
        if (!e || e->first.isEmpty())
            continue;
        if (used + e->first.size() + 1 > kKeyListBuffer)
            break;
        used += e->first.size() + 1;
        keys << e->first;
    }
    return keys;
}

QStringList PrivateProfile::readSectionNames() const
{
    QStringList names;
    for (const QString &line : readLines())
        if (const std::optional<QString> name = sectionName(line))
            names << *name;
    return names;
}

void PrivateProfile::writeString(const QString &section, const QString &key, const QString &value) const
{
    QStringList lines = readLines();
    const QString line = key.trimmed() + '=' + value;
    const auto [first, end] = sectionRange(lines, section);
    if (first < 0) {
        lines << QStringLiteral("[%1]").arg(section.trimmed()) << line;
        writeLines(lines);
        return;
    }
    qsizetype lastEntry = first - 1;
    for (qsizetype i = first; i < end; ++i) {
        if (const auto e = entry(lines[i])) {
            if (sameName(e->first, key)) {
                lines[i] = line;
                writeLines(lines);
                return;
            }
            lastEntry = i;
        }
    }
    lines.insert(lastEntry + 1, line);
    writeLines(lines);
}

void PrivateProfile::writeInteger(const QString &section, const QString &key, int value) const
{
    writeString(section, key, QString::number(value));
}

void PrivateProfile::writeBool(const QString &section, const QString &key, bool value) const
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void PrivateProfile::eraseSection(const QString &section) const
{
    QStringList lines = readLines();
    const auto [first, end] = sectionRange(lines, section);
    if (first < 0)
        return;
    lines.erase(lines.begin() + first - 1, lines.begin() + end);
    writeLines(lines);
}

void PrivateProfile::replaceSection(const QString &section, const ProfileEntries &entries) const
{
    QStringList lines = readLines();
    if (const auto [first, end] = sectionRange(lines, section); first >= 0)
        lines.erase(lines.begin() + first - 1, lines.begin() + end);
    lines << QStringLiteral("[%1]").arg(section.trimmed());
    for (const auto &[key, value] : entries)
        lines << key.trimmed() + '=' + value;
    writeLines(lines);
}
