#pragma once
// The folder lists of the wizard's combo boxes, kept in the settings file:
// one section per box with keys n0, n1, … for the entries and "last" for
// the text the box held when it was saved.

#include <QComboBox>
#include <QString>
#include <QStringList>

// Fills the list from the section and sets the text ("last", else the first
// entry). An empty or missing section gives the default entry alone; with
// no default the box is left as it is.
void LoadComboHistory(QComboBox *combo, const QString &settingsFile, const QString &section,
                      const QString &defaultEntry = QString());
// Rewrites the section from the list (blank entries dropped) and the text.
// An empty list leaves the section as it is. Throws ProfileWriteError.
void SaveComboHistory(QComboBox *combo, const QString &settingsFile, const QString &section);
// Adds the text, as a folder ending in the separator, when no entry equals
// it without regard to case; it then becomes the text.
void AddComboHistory(QComboBox *combo);
// Replaces the list with the drive roots and shows the second of them (the
// first is the system's root), or nothing when there is only one.
void ResetComboToDrives(QComboBox *combo, const QStringList &roots);
void ResetComboToDrives(QComboBox *combo);
// The entry a list starts with when nothing is saved: the home folder.
QString DefaultHistoryEntry();
