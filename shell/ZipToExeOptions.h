#pragma once
// The wizard's self-extractor options, as the engine's SFX properties want
// them. The wizard fills them from its pages, mantole-shell from the saved
// settings, and both hand them to the engine the same way.

#include <QImage>
#include <QString>

class PrivateProfile;
class TZipArchiver;

struct ZipToExeOptions {
    QString caption;          // the extractor's title
    bool askFiles = false;    // the user may pick the files to extract
    bool autoRun = false;
    QImage icon;              // null: the stub keeps its own
    bool successMessage = false;
    bool showMessage = false; // a message before extracting
    bool okCancel = true;     // its buttons: OK/Cancel ...
    bool yesNo = false;       // ... or Yes/No
    QString message;
    QString defaultDir;       // "><" for the temporary folder
    bool runFile = false;
    QString command;
    bool forceOverwrite = false;

    // Sets every SFX property of the engine from these options.
    void applyTo(TZipArchiver &za) const;

    // The options the wizard in programFolder (ending in "/") saved in its
    // settings file, as it reads them at start-up; the icon from the saved
    // icon file and index, the wizard's icones.dll when that file is gone.
    static ZipToExeOptions fromSettings(const PrivateProfile &ini, const QString &programFolder);
    // The saved command to run: a stored folder in front of "><" is cut.
    static QString storedCommand(const QString &saved);
};
