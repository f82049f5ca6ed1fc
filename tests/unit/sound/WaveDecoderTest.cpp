#include "sound/WaveDecoder.h"

#include "sound/AudioOutputService.h"
#include "sound/SoundFlags.h"
#include "sound/SoundVoice.h"
#include "sound/WaveFileReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <vector>

namespace {

// Writes a sine of the given frequency (left) and its negation (right, when stereo).
QString WriteTone(const QString& path, int format, int channels, int rate, int frames,
                  double frequency = 440.0)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> samples(static_cast<size_t>(frames * channels));
    for (int i = 0; i < frames; ++i) {
        const float v = 0.5f * static_cast<float>(std::sin(2 * M_PI * frequency * i / rate));
        samples[static_cast<size_t>(i * channels)] = v;
        if (channels == 2)
            samples[static_cast<size_t>(i * channels + 1)] = -v;
    }
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return path;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

struct FormatCase
{
    int format;
    int channels;
    int rate;
    float tolerance;
};

class WaveFormatTest : public ::testing::TestWithParam<FormatCase>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(WaveFormatTest, DecodesFromFileAndMemoryToTheSameScaledSamples)
{
    const FormatCase c = GetParam();
    const QString path =
        WriteTone(m_dir.filePath(QStringLiteral("t.wav")), c.format, c.channels, c.rate, 2000);
    auto fromFile = WaveDecoder::OpenFile(QFile::encodeName(path).constData());
    auto fromMemory = WaveDecoder::OpenMemory(ReadAll(path));
    ASSERT_TRUE(fromFile);
    ASSERT_TRUE(fromMemory);
    for (WaveDecoder* decoder : {fromFile.get(), fromMemory.get()}) {
        EXPECT_EQ(decoder->channels(), c.channels);
        EXPECT_EQ(decoder->sampleRate(), c.rate);
        EXPECT_EQ(decoder->frames(), 2000);
        std::vector<float> out(static_cast<size_t>(2000 * c.channels));
        ASSERT_EQ(decoder->read(out.data(), 2000), 2000);
        const int probe = 7;
        const float expected =
            0.5f * static_cast<float>(std::sin(2 * M_PI * 440.0 * probe / c.rate));
        EXPECT_NEAR(out[static_cast<size_t>(probe * c.channels)], expected, c.tolerance);
        if (c.channels == 2) {
            EXPECT_NEAR(out[static_cast<size_t>(probe * 2 + 1)], -expected, c.tolerance);
        }
        EXPECT_EQ(decoder->read(out.data(), 10), 0);
        EXPECT_TRUE(decoder->rewind());
        EXPECT_EQ(decoder->read(out.data(), 10), 10);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveFormatTest,
                         ::testing::Values(FormatCase{SF_FORMAT_PCM_U8, 1, 8000, 0.01f},
                                           FormatCase{SF_FORMAT_PCM_16, 1, 44100, 1e-4f},
                                           FormatCase{SF_FORMAT_PCM_16, 2, 22050, 1e-4f},
                                           FormatCase{SF_FORMAT_PCM_24, 2, 48000, 1e-6f},
                                           FormatCase{SF_FORMAT_PCM_32, 1, 96000, 1e-6f},
                                           FormatCase{SF_FORMAT_FLOAT, 2, 11025, 1e-6f}));

class BrokenWaveTest : public ::testing::Test
{
protected:
    QByteArray meow()
    {
        return ReadAll(
            WriteTone(m_dir.filePath(QStringLiteral("m.wav")), SF_FORMAT_PCM_16, 1, 44100, 4410));
    }
    QTemporaryDir m_dir;
};

TEST_F(BrokenWaveTest, GarbageAndCutHeadersAreRefused)
{
    const QByteArray good = meow();
    const QList<QByteArray> bad = {
        QByteArray(),
        QByteArray(1000, '\0'),
        QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16),
        good.left(20),
        good.left(40),
        QByteArray("this is not a sound at all, just some text in a .wav file"),
    };
    for (const QByteArray& bytes : bad) {
        EXPECT_FALSE(WaveDecoder::OpenMemory(bytes)) << bytes.size() << " bytes";
        const QString path = m_dir.filePath(QStringLiteral("bad.wav"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        EXPECT_FALSE(WaveDecoder::OpenFile(QFile::encodeName(path).constData()));
    }
    EXPECT_FALSE(WaveDecoder::OpenFile(nullptr));
    EXPECT_FALSE(WaveDecoder::OpenFile(""));
    EXPECT_FALSE(WaveDecoder::OpenFile(QFile::encodeName(m_dir.path()).constData()));
}

TEST_F(BrokenWaveTest, CutDataPlaysWhatIsThereAndEnds)
{
    // The header promises 4410 frames; only about half of them follow.
    const QByteArray cut = meow().left(44 + 2 * 2000 + 1);
    auto decoder = WaveDecoder::OpenMemory(cut);
    if (!decoder)
        return; // refusing it is as good as playing the part that is there
    SoundVoice voice(std::move(decoder), false);
    voice.setOutput(44100, 2);
    std::vector<float> out(2 * 8000);
    const qsizetype frames = voice.render(out.data(), 8000);
    EXPECT_LE(frames, 2001);
    EXPECT_TRUE(voice.finished());
}

TEST_F(BrokenWaveTest, CorruptedBytesInsideTheFileNeverCrashTheDecoder)
{
    const QByteArray good = meow();
    for (int seed = 0; seed < 200; ++seed) {
        QByteArray bytes = good;
        // Flip bytes in the header and the first chunk, where the structure lives.
        for (int k = 0; k < 4; ++k) {
            const int at = (seed * 37 + k * 11) % 80;
            bytes[at] = static_cast<char>(bytes[at] ^ (seed * 13 + k + 1));
        }
        auto decoder = WaveDecoder::OpenMemory(bytes);
        if (!decoder)
            continue;
        SoundVoice voice(std::move(decoder), seed % 2 == 0);
        voice.setOutput(48000, 2);
        std::vector<float> out(2 * 4096);
        for (int i = 0; i < 50 && !voice.finished(); ++i)
            voice.render(out.data(), 4096);
    }
}

TEST(SoundVoiceTest, ResamplesAndSpreadsMonoOverBothSides)
{
    QTemporaryDir dir;
    const QString path =
        WriteTone(dir.filePath(QStringLiteral("t.wav")), SF_FORMAT_PCM_16, 1, 22050, 2205, 100.0);
    SoundVoice voice(WaveDecoder::OpenFile(QFile::encodeName(path).constData()), false);
    voice.setOutput(44100, 2);
    EXPECT_EQ(voice.durationMs(), 100);
    std::vector<float> out(2 * 10000, 0.0f);
    const qsizetype frames = voice.render(out.data(), 10000);
    EXPECT_NEAR(frames, 4410, 3);
    EXPECT_TRUE(voice.finished());
    double peak = 0;
    for (qsizetype i = 0; i < frames; ++i) {
        EXPECT_EQ(out[2 * i], out[2 * i + 1]);
        peak = std::max(peak, std::abs(static_cast<double>(out[2 * i])));
    }
    EXPECT_NEAR(peak, 0.5, 0.01);
    // Output frame 2k sits on source frame k.
    EXPECT_NEAR(out[2 * 200], 0.5 * std::sin(2 * M_PI * 100.0 * 100 / 22050), 1e-3);
}

TEST(SoundVoiceTest, LoopStartsOverAndAOneFrameSoundWorks)
{
    QTemporaryDir dir;
    const QString path =
        WriteTone(dir.filePath(QStringLiteral("t.wav")), SF_FORMAT_PCM_16, 2, 44100, 441);
    SoundVoice loop(WaveDecoder::OpenFile(QFile::encodeName(path).constData()), true);
    loop.setOutput(44100, 2);
    std::vector<float> out(2 * 5000);
    EXPECT_EQ(loop.render(out.data(), 5000), 5000);
    EXPECT_FALSE(loop.finished());

    const QString one =
        WriteTone(dir.filePath(QStringLiteral("one.wav")), SF_FORMAT_PCM_16, 1, 8000, 1);
    SoundVoice single(WaveDecoder::OpenFile(QFile::encodeName(one).constData()), true);
    single.setOutput(8000, 1);
    EXPECT_GE(single.render(out.data(), 100), 0);

    const QString none =
        WriteTone(dir.filePath(QStringLiteral("none.wav")), SF_FORMAT_PCM_16, 1, 8000, 0);
    auto empty = WaveDecoder::OpenFile(QFile::encodeName(none).constData());
    if (empty) {
        // A looping sound without frames must end rather than spin.
        SoundVoice silent(std::move(empty), true);
        silent.setOutput(8000, 1);
        EXPECT_EQ(silent.render(out.data(), 100), 0);
        EXPECT_TRUE(silent.finished());
    }
}

TEST(WaveFileReaderTest, KeepsTheOldBufferUntilItReadsAndChecksTheWholeLength)
{
    QTemporaryDir dir;
    QByteArray buffer("old");
    const QString big = dir.filePath(QStringLiteral("big"));
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(11, 'b'));
    file.close();
    EXPECT_EQ(ReadWaveFile(big, 10, buffer), WaveFileRead::TooLarge);
    EXPECT_EQ(buffer, QByteArray("old"));
    EXPECT_EQ(ReadWaveFile(dir.filePath(QStringLiteral("nope")), 10, buffer), WaveFileRead::Failed);
    EXPECT_EQ(buffer, QByteArray("old"));
    EXPECT_EQ(ReadWaveFile(big, 11, buffer), WaveFileRead::Ok);
    EXPECT_EQ(buffer, QByteArray(11, 'b'));
}

TEST(AudioOutputServiceTest, RefusesWhatItCannotDecodeWithoutTouchingTheOutput)
{
    QTemporaryDir dir;
    AudioOutputService service;
    const QByteArray garbage("RIFF....WAVEjunkjunkjunk");
    EXPECT_FALSE(service.PlaySound(nullptr, garbage, SND_MEMORY | SND_ASYNC | SND_NOSTOP));
    EXPECT_FALSE(service.PlaySound(nullptr, QByteArrayView(), SND_MEMORY | SND_ASYNC));
    EXPECT_FALSE(service.PlaySound(
        QFile::encodeName(dir.filePath(QStringLiteral("missing.wav"))).constData(),
        QByteArrayView(), SND_FILENAME | SND_ASYNC | SND_NODEFAULT));
    EXPECT_FALSE(service.PlaySound("", QByteArrayView(), SND_FILENAME | SND_ASYNC));
    // A synchronous loop could never end.
    const QString tone =
        WriteTone(dir.filePath(QStringLiteral("t.wav")), SF_FORMAT_PCM_16, 1, 8000, 80);
    EXPECT_FALSE(service.PlaySound(QFile::encodeName(tone).constData(), QByteArrayView(),
                                   SND_FILENAME | SND_LOOP));
}

} // namespace
