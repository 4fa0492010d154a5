// The order of the date prefix: day first or month first.

#include "TWzdForm.h"

#include "FonctionsUtiles.h"
#include "PrivateProfile.h"
#include "TLanguage.h"

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QLabel>

void TWzdForm::FormatDateClick()
{
    const QDate today = QDate::currentDate();
    const QString day = QStringLiteral("%1").arg(today.day(), 2, 10, QLatin1Char('0'));
    const QString month = QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0'));
    JJMM->setText(languageMessage(QStringLiteral("Mnu_JMArchive1")) + day + month
                  + languageMessage(QStringLiteral("Mnu_JMArchive2")));
    MMJJ->setText(languageMessage(QStringLiteral("Mnu_JMArchive3")) + month + day
                  + languageMessage(QStringLiteral("Mnu_JMArchive2")));
}

// Both items swap the order, the one already checked too.
void TWzdForm::JJMMClick()
{
    const bool dayFirst = !m_dayFirst;
    m_dayFirst = dayFirst;
    JJMM->setChecked(dayFirst);
    MMJJ->setChecked(!dayFirst);
    m_iniFile->writeBool(QStringLiteral("wzd"), QStringLiteral("dm"), dayFirst);
    LbDateZip->setText(DatePrefixText(dayFirst, CBDatePrefix->isChecked()));
    UpdateTop();
}

void TWzdForm::MMJJClick()
{
    JJMMClick();
}
