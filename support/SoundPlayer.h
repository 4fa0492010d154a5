#pragma once
// Plays sound files in the background, one at a time: a new sound cuts the
// one playing. A file that is missing, or a machine without sound, stays
// silent.

#include <QObject>
#include <QUrl>

class QSoundEffect;

class SoundPlayer : public QObject {
    Q_OBJECT

public:
    static SoundPlayer &instance();
    void play(const QString &path);
    // The sound last started; empty before any.
    QUrl source() const;

private:
    SoundPlayer();
    QSoundEffect *m_effect = nullptr;
};
