#include "SoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>

SoundPlayer &SoundPlayer::instance()
{
    static SoundPlayer player;
    return player;
}

SoundPlayer::SoundPlayer() : m_effect(new QSoundEffect(this))
{
}

void SoundPlayer::play(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return;
    m_effect->stop();
    m_effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    m_effect->play(); // starts once the file is loaded, without blocking
}

QUrl SoundPlayer::source() const
{
    return m_effect->source();
}
