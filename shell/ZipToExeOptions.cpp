#include "ZipToExeOptions.h"

#include "IconExtractor.h"
#include "IconImage.h"
#include "PrivateProfile.h"
#include "SfxIcon.h"
#include "ZipArchiver.h"

#include <QFileInfo>

void ZipToExeOptions::applyTo(TZipArchiver &za) const
{
    za.SFXOptions = SFXOpts();
    za.SFXCaption = caption;
    if (!askFiles)
        za.SFXOptions.insert(SFXAskFiles);
    if (autoRun)
        za.SFXOptions.insert(SFXAutoRun);
    za.setSFXIcon(SfxIcon::fromImage(icon));
    za.SFXMessage.clear();
    if (!successMessage)
        za.SFXOptions.insert(SFXNoSuccessMsg);
    if (showMessage) {
        if (okCancel)
            za.SFXMessage = QString(QChar(1));
        if (yesNo)
            za.SFXMessage = QString(QChar(2));
        za.SFXMessage += message;
    }
    za.SFXDefaultDir = defaultDir;
    if (runFile) {
        za.SFXCommandLine = command;
        za.SFXOptions.insert(SFXAskCmdLine);
    } else {
        za.SFXCommandLine.clear();
    }
    za.SFXOverWriteMode = OvrConfirm;
    if (forceOverwrite) {
        za.SFXOverWriteMode = OvrAlways;
        za.SFXOptions.insert(SFXHideOverWriteBox);
    }
}

QString ZipToExeOptions::storedCommand(const QString &saved)
{
    // Cut before changing case: an upper-case form may be longer ("ß").
    const qsizetype marker = saved.indexOf(QLatin1String("><"));
    return marker >= 0 ? saved.mid(marker + 2).toUpper() : saved;
}

ZipToExeOptions ZipToExeOptions::fromSettings(const PrivateProfile &ini, const QString &programFolder)
{
    const QString wzd = QStringLiteral("wzd");
    const auto text = [&](const char *key, const QString &defaultValue = QString()) {
        return ini.readString(wzd, QLatin1String(key), defaultValue);
    };
    const auto flag = [&](const char *key, bool defaultValue) {
        return ini.readBool(wzd, QLatin1String(key), defaultValue);
    };
    const QString defaultIcon = programFolder + QStringLiteral("icones.dll");
    ZipToExeOptions o;
    o.caption = text("stitre");
    o.askFiles = flag("chglst", false);
    o.autoRun = flag("autorun", false);
    o.successMessage = flag("endmsg", false);
    o.showMessage = flag("msgsfx", false);
    o.yesNo = text("iboxmsg", QStringLiteral("2")) == QLatin1String("3");
    o.okCancel = !o.yesNo;
    o.message = text("smsg");
    o.defaultDir = text("spath", QStringLiteral("C:\\"));
    o.runFile = flag("runfile", false);
    o.command = storedCommand(text("scmd"));
    o.forceOverwrite = flag("sow", false);

    // Relative names are the program's; a file that is gone gives the
    // program's own icon library, as in the wizard.
    QString icon = text("iconame", defaultIcon);
    if (!icon.startsWith(QLatin1Char('/')))
        icon = programFolder + icon;
    if (!QFileInfo(icon).isFile())
        icon = defaultIcon;
    o.icon = IconImage::decode(IconExtractor::extract(icon, ini.readInteger(wzd, QStringLiteral("icoIndex"), 0)), 32);
    return o;
}
