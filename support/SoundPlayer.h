#pragma once
// Plays sound files (PCM .wav) in the background, one at a time: a new
// sound cuts the one playing. A missing file, a file that is no sound, or a
// machine without sound output stays silent. The player belongs to the
// application object and goes with it.

#include <QByteArray>
#include <QBuffer>
#include <QObject>
#include <QString>

#include <memory>

class QAudioSink;

class SoundPlayer : public QObject {
    Q_OBJECT

public:
    static SoundPlayer &instance();
    ~SoundPlayer() override;
    void play(const QString &path);
    // The file of the sound last started; empty before any.
    const QString &source() const { return m_source; }
    // Samples are going out to the sound device.
    bool isPlaying() const;

private:
    explicit SoundPlayer(QObject *owner);
    void stop();

    QString m_source;
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
};
