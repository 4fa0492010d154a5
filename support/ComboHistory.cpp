#include "ComboHistory.h"

#include "FonctionsUtiles.h"
#include "PrivateProfile.h"
#include "VolumeProbe.h"

#include <QDir>
#include <QLineEdit>

namespace {

const QString kLastKey = QStringLiteral("last");

QString entryKey(int position)
{
    return QStringLiteral("n%1").arg(position);
}

void showText(QComboBox *combo, const QString &text)
{
    combo->setEditText(text);
    if (QLineEdit *edit = combo->lineEdit())
        edit->setCursorPosition(text.size()); // caret after the text, nothing selected
}

} // namespace

void LoadComboHistory(QComboBox *combo, const QString &settingsFile, const QString &section,
                      const QString &defaultEntry)
{
    const PrivateProfile settings(settingsFile);
    const qsizetype keyCount = settings.readSectionKeys(section).size();
    QStringList entries;
    QString last;
    if (keyCount == 0) {
        if (defaultEntry.isEmpty())
            return;
        entries << defaultEntry;
    } else {
        const ProfileEntries saved = settings.readSection(section);
        const auto valueOf = [&saved](const QString &key) {
            return PrivateProfile::valueIn(saved, key).value_or(QString());
        };
        // "last" is one of the keys, so the final probe normally finds nothing.
        for (qsizetype i = 0; i < keyCount; ++i)
            if (const QString entry = valueOf(entryKey(static_cast<int>(i))); !entry.isEmpty())
                entries << entry;
        last = valueOf(kLastKey);
    }
    combo->clear();
    combo->addItems(entries);
    showText(combo, !last.isEmpty() ? last : entries.value(0));
}

void SaveComboHistory(QComboBox *combo, const QString &settingsFile, const QString &section)
{
    if (combo->count() == 0)
        return;
    for (int i = combo->count() - 1; i >= 0; --i)
        if (combo->itemText(i).trimmed().isEmpty())
            combo->removeItem(i);

    ProfileEntries entries;
    for (int i = 0; i < combo->count(); ++i)
        entries.append({entryKey(i), combo->itemText(i)});
    entries.append({kLastKey, combo->currentText()});
    PrivateProfile(settingsFile).replaceSection(section, entries);
}

void AddComboHistory(QComboBox *combo)
{
    const QString folder = AddBackslash(combo->currentText());
    if (folder.isEmpty())
        return; // an empty entry would only be dropped when saving
    for (int i = 0; i < combo->count(); ++i)
        if (combo->itemText(i).compare(folder, Qt::CaseInsensitive) == 0)
            return;
    combo->addItem(folder);
    showText(combo, folder);
}

void ResetComboToDrives(QComboBox *combo, const QStringList &roots)
{
    combo->clear();
    combo->addItems(roots);
    showText(combo, roots.value(1));
}

void ResetComboToDrives(QComboBox *combo)
{
    ResetComboToDrives(combo, VolumeProbe::driveRoots());
}

QString DefaultHistoryEntry()
{
    return AddBackslash(QDir::homePath());
}
