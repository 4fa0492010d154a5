// The Finish sequence: four progress lines with sounds and pauses around
// the conversion.

#include "TWzdForm.h"

#include "FonctionsUtiles.h"
#include "ProgressLabel.h"
#include "TLanguage.h"

void TWzdForm::DoWhenWzdFinished()
{
    if (m_finishRunning)
        return;
    // The pauses keep the window answering; moves, a second Finish, Escape
    // and closing wait until the sequence is over.
    m_finishRunning = true;
    const auto sound = [this](const char *name) { PlayWave(Paths.folder + QLatin1String(name)); };
    sound("11.wav");
    DRLabel1->setRunning(Step1Text);
    WaitWithMessages(StepDelay);
    DRLabel1->setDone(Step1EndText);
    sound("12.wav");
    sound("21.wav");
    DRLabel2->setRunning(Step2Text);
    WaitWithMessages(StepDelay);
    DRLabel2->setDone(Step2EndText);
    sound("22.wav");
    DRLabel3->setRunning(languageMessage(QStringLiteral("Cap_3dCreate")));
    GoForExe();
    if (ConvertResult != 0) {
        DRLabel3->setDone(languageMessage(QStringLiteral("Cap_3dCreateErr")));
        sound("error.wav");
    } else {
        DRLabel3->setDone(languageMessage(QStringLiteral("Cap_3dCreateEnd")));
        sound("3.wav");
    }
    DRLabel4->setDone(languageMessage(QStringLiteral("Cap_3dQuit")));
    sound("4.wav");
    WizardFinished = true;
    Wzd->SetAbortCaption(languageMessage(QStringLiteral("Wzd_Quit")));
    m_finishRunning = false;
}
