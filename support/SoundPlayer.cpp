#include "SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QFile>
#include <QMediaDevices>
#include <QPointer>

#include <optional>

namespace {

constexpr qint64 kMaxSoundFile = 64 * 1024 * 1024;

struct WaveSound {
    QAudioFormat format;
    QByteArray samples;
};

quint32 le(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uchar>(bytes[at + i]);
    return value;
}

QAudioFormat::SampleFormat sampleFormat(quint32 encoding, quint32 bits)
{
    if (encoding == 1 && bits == 8)
        return QAudioFormat::UInt8;
    if (encoding == 1 && bits == 16)
        return QAudioFormat::Int16;
    if (encoding == 1 && bits == 32)
        return QAudioFormat::Int32;
    if (encoding == 3 && bits == 32)
        return QAudioFormat::Float;
    return QAudioFormat::Unknown;
}

// A RIFF/WAVE file of PCM or float samples: its format chunk and data chunk.
std::optional<WaveSound> readWave(const QByteArray &bytes)
{
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return std::nullopt;
    WaveSound sound;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = le(bytes, at + 4, 4);
        const qsizetype body = at + 8;
        if (size > bytes.size() - body)
            return std::nullopt;
        if (id == "fmt " && size >= 16) {
            sound.format.setChannelCount(static_cast<int>(le(bytes, body + 2, 2)));
            sound.format.setSampleRate(static_cast<int>(le(bytes, body + 4, 4)));
            sound.format.setSampleFormat(sampleFormat(le(bytes, body, 2), le(bytes, body + 14, 2)));
        } else if (id == "data") {
            sound.samples = bytes.mid(body, size);
        }
        at = body + size + (size & 1); // chunks are padded to even sizes
    }
    if (!sound.format.isValid() || sound.format.channelCount() > 8 || sound.samples.isEmpty())
        return std::nullopt;
    return sound;
}

} // namespace

SoundPlayer &SoundPlayer::instance()
{
    static QPointer<SoundPlayer> player;
    if (!player)
        player = new SoundPlayer(QCoreApplication::instance());
    return *player;
}

SoundPlayer::SoundPlayer(QObject *owner) : QObject(owner)
{
}

SoundPlayer::~SoundPlayer()
{
    stop();
}

void SoundPlayer::stop()
{
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
    m_buffer.close();
}

bool SoundPlayer::isPlaying() const
{
    return m_sink && m_sink->state() == QAudio::ActiveState;
}

void SoundPlayer::play(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSoundFile)
        return;
    std::optional<WaveSound> sound = readWave(file.readAll());
    if (!sound)
        return;
    stop();
    m_source = path;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull() || !output.isFormatSupported(sound->format))
        return; // no sound here; the rest of the program goes on
    m_buffer.setData(sound->samples);
    m_buffer.open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(output, sound->format);
    m_sink->start(&m_buffer);
}
