#include "sound/PlayWave.h"

#include "sound/SoundFlags.h"
#include "sound/SoundOutputModule.h"
#include "support/RecordingSoundService.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr qint16 On = -1;
constexpr qint16 Off = 0;

class PlayWaveTest : public ::testing::Test
{
protected:
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // Any bytes do: the routine reads them and hands them on; only the service decodes.
    QString fileOfSize(const QString& name, qint64 size, char fill = 'w')
    {
        return writeFile(name, QByteArray(size, fill));
    }

    QTemporaryDir m_dir;
    ScopedRecordingSoundService m_service;
};

struct FlagCase
{
    qint16 synchronous;
    qint16 looping;
    qint16 inMemory;
    uint32_t flags;
};

class PlayWaveFlagTest : public PlayWaveTest, public ::testing::WithParamInterface<FlagCase>
{
};

TEST_P(PlayWaveFlagTest, HandsTheServiceTheFlagWordOfTheOptions)
{
    const FlagCase c = GetParam();
    const QString path = fileOfSize(QStringLiteral("a.wav"), 100);
    EXPECT_EQ(PlayWave(path, c.synchronous, c.looping, c.inMemory, Off), 0);
    ASSERT_EQ(m_service.calls.size(), 1u);
    const auto& call = m_service.calls[0];
    EXPECT_EQ(call.flags, c.flags);
    if (c.inMemory != 0) {
        EXPECT_FALSE(call.name.has_value());
        EXPECT_EQ(call.memory, QByteArray(100, 'w'));
    } else {
        EXPECT_EQ(call.name, QFile::encodeName(path));
        EXPECT_TRUE(call.memory.isEmpty());
    }
}

// Any non-zero value means on, not just the -1 the callers pass.
INSTANTIATE_TEST_SUITE_P(Options, PlayWaveFlagTest,
                         ::testing::Values(FlagCase{Off, Off, Off, 139283},
                                           FlagCase{On, Off, Off, 139282},
                                           FlagCase{Off, On, Off, 139291},
                                           FlagCase{Off, Off, On, 8215},
                                           FlagCase{On, Off, On, 8214}, FlagCase{Off, 1, 7, 8223},
                                           FlagCase{Off, On, On, 8223}));

TEST_F(PlayWaveTest, ResultFollowsTheServiceAnswer)
{
    const QString path = fileOfSize(QStringLiteral("a.wav"), 10);
    m_service.playAnswer = false;
    EXPECT_EQ(PlayWave(path, Off, Off, Off, Off), 4);
    EXPECT_EQ(PlayWave(path, Off, Off, On, Off), 4);
    m_service.playAnswer = true;
    EXPECT_EQ(PlayWave(path, Off, Off, Off, Off), 0);
    EXPECT_EQ(PlayWave(path, Off, Off, On, Off), 0);
}

TEST_F(PlayWaveTest, StopFirstStopsBeforeThePlayAndIgnoresTheStopAnswer)
{
    const QString path = fileOfSize(QStringLiteral("a.wav"), 10);
    m_service.stopAnswer = false;
    EXPECT_EQ(PlayWave(path, Off, Off, Off, On), 0);
    ASSERT_EQ(m_service.calls.size(), 2u);
    EXPECT_FALSE(m_service.calls[0].name.has_value());
    EXPECT_EQ(m_service.calls[0].flags, SND_PURGE);
    EXPECT_EQ(m_service.calls[1].flags, 139283u);
}

TEST_F(PlayWaveTest, StopOnlyCallStopsThenAsksForAnEmptyName)
{
    PlayWave(QString(), Off, Off, Off, On);
    ASSERT_EQ(m_service.calls.size(), 2u);
    EXPECT_EQ(m_service.calls[0].flags, SND_PURGE);
    EXPECT_EQ(m_service.calls[1].name, QByteArray());
    EXPECT_EQ(m_service.calls[1].flags, 139283u);
}

TEST_F(PlayWaveTest, SynchronousLoopIsRefusedBeforeAnyFileAccessButAfterTheStop)
{
    // A missing file in memory mode would give 3 if the file were touched first.
    const QString missing = m_dir.filePath(QStringLiteral("missing.wav"));
    EXPECT_EQ(PlayWave(missing, On, On, On, Off), 2);
    EXPECT_TRUE(m_service.calls.empty());
    EXPECT_FALSE(QFile::exists(missing));

    EXPECT_EQ(PlayWave(missing, 5, -3, Off, On), 2);
    ASSERT_EQ(m_service.calls.size(), 1u);
    EXPECT_TRUE(m_service.calls[0].isStop());
}

TEST_F(PlayWaveTest, InMemoryTakesExactlyTheLimitAndRefusesOneByteMore)
{
    const QString atLimit = fileOfSize(QStringLiteral("limit.wav"), 2097152, 'a');
    EXPECT_EQ(PlayWave(atLimit, Off, Off, On, Off), 0);
    ASSERT_EQ(m_service.plays().size(), 1u);
    EXPECT_EQ(m_service.plays()[0].memory.size(), 2097152);
    EXPECT_EQ(SoundBuffer().size(), 2097152);

    const QString over = fileOfSize(QStringLiteral("over.wav"), 2097153, 'b');
    EXPECT_EQ(PlayWave(over, Off, Off, On, Off), 1);
    EXPECT_EQ(m_service.plays().size(), 1u);
    // Refused before reading: the buffer still holds the last file.
    EXPECT_EQ(SoundBuffer(), QByteArray(2097152, 'a'));
}

TEST_F(PlayWaveTest, BufferIsResizedToEachFileAndHandedOverWhole)
{
    QByteArray big(5000, 'x');
    big[0] = 'R';
    big[4999] = 'Z';
    EXPECT_EQ(PlayWave(writeFile(QStringLiteral("big.wav"), big), Off, Off, On, Off), 0);
    EXPECT_EQ(PlayWave(fileOfSize(QStringLiteral("small.wav"), 3, 's'), Off, Off, On, Off), 0);
    ASSERT_EQ(m_service.calls.size(), 2u);
    EXPECT_EQ(m_service.calls[0].memory, big);
    EXPECT_EQ(m_service.calls[1].memory, QByteArray("sss"));
    EXPECT_EQ(SoundBuffer(), QByteArray("sss"));
    // The service is handed the buffer itself, not a copy of it.
    EXPECT_EQ(m_service.calls[1].memoryData, SoundBuffer().constData());
}

TEST_F(PlayWaveTest, InMemoryFilesThatCannotBeReadGiveThreeWithoutPlaying)
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.wav"));
    EXPECT_EQ(PlayWave(missing, Off, Off, On, Off), 3);
    EXPECT_FALSE(QFile::exists(missing)) << "the routine must not create the file";

    EXPECT_EQ(PlayWave(fileOfSize(QStringLiteral("empty.wav"), 0), Off, Off, On, Off), 3);
    EXPECT_EQ(PlayWave(QString(), Off, Off, On, Off), 3);
    EXPECT_EQ(PlayWave(m_dir.path(), Off, Off, On, Off), 3);

    // A FIFO would block a plain open until a writer comes; it must be refused at once.
    const QString fifo = m_dir.filePath(QStringLiteral("fifo.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(PlayWave(fifo, Off, Off, On, Off), 3);

    EXPECT_TRUE(m_service.calls.empty());

    // The failed requests left nothing open: the next one succeeds.
    EXPECT_EQ(PlayWave(fileOfSize(QStringLiteral("ok.wav"), 44), Off, Off, On, Off), 0);
}

TEST_F(PlayWaveTest, FileNameModeLeavesTheFileToTheService)
{
    // The routine does not open the file itself: a missing file is the service's matter.
    const QString missing = m_dir.filePath(QStringLiteral("missing.wav"));
    m_service.playAnswer = false;
    EXPECT_EQ(PlayWave(missing, Off, Off, Off, Off), 4);
    ASSERT_EQ(m_service.calls.size(), 1u);
    EXPECT_EQ(m_service.calls[0].name, QFile::encodeName(missing));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(PlayWaveTest, NonAsciiPathReachesTheServiceInTheFileSystemEncoding)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("★MailData")));
    const QString path = fileOfSize(QStringLiteral("★MailData/鳴き声.wav"), 12, 'n');
    EXPECT_EQ(PlayWave(path, Off, Off, Off, Off), 0);
    EXPECT_EQ(PlayWave(path, Off, Off, On, Off), 0);
    ASSERT_EQ(m_service.calls.size(), 2u);
    EXPECT_EQ(m_service.calls[0].name, QFile::encodeName(path));
    EXPECT_EQ(m_service.calls[1].memory, QByteArray(12, 'n'));
}

// The sound output is loaded from the program folder: a folder without it (a broken
// installation) fails every sound without a crash, and the module the build makes exports what
// the loader looks for.
TEST(SoundOutputModuleTest, AMissingModuleFailsEverySoundAndTheBuiltOneLoads)
{
    QTemporaryDir empty;
    SoundOutputModule missing(empty.path());
    EXPECT_TRUE(missing.PlaySound(nullptr, QByteArrayView(), SND_PURGE)) << "nothing to stop";
    missing.prepare();
    EXPECT_FALSE(missing.PlaySound("Kouka.wav", QByteArrayView(), SND_ASYNC | SND_FILENAME));
    EXPECT_FALSE(missing.PlaySound(nullptr, QByteArrayView(), SND_PURGE));

    QLibrary built(QStringLiteral(MOFURIN_INSTALL_DIR "/mofurin-sound"));
    EXPECT_NE(built.resolve(SoundOutputModule::EntryPoint), nullptr)
        << built.errorString().toStdString();
}

} // namespace
