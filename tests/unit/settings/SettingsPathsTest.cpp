#include "settings/SettingsPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(SettingsPathsTest, ProgramFolderTheUserCanWriteKeepsTheOldPlacesElsePerUser)
{
    const QString program = QStringLiteral("/opt/猫 kitten");
    const QString home = QStringLiteral("/home/u");
    const struct
    {
        bool writable;
        QString xdgConfigHome;
        SettingsPlaces expected;
    } cases[] = {
        // A copy the user can write ignores the configuration folder altogether.
        {true, QString(), {"vbmail.ini", "/opt/猫 kitten/★MailData", QString()}},
        {true, "/x/cfg", {"vbmail.ini", "/opt/猫 kitten/★MailData", QString()}},
        // An installed copy: XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
        {false,
         "/x/cfg",
         {"/x/cfg/mofurin/vbmail.ini", "/x/cfg/mofurin/★MailData", "/x/cfg/mofurin"}},
        {false,
         "/x/cfg/",
         {"/x/cfg/mofurin/vbmail.ini", "/x/cfg/mofurin/★MailData", "/x/cfg/mofurin"}},
        {false,
         QString(),
         {"/home/u/.config/mofurin/vbmail.ini", "/home/u/.config/mofurin/★MailData",
          "/home/u/.config/mofurin"}},
        {false,
         "relative/cfg",
         {"/home/u/.config/mofurin/vbmail.ini", "/home/u/.config/mofurin/★MailData",
          "/home/u/.config/mofurin"}},
    };
    for (const auto& c : cases) {
        const SettingsPlaces places =
            ChooseSettingsPlaces(program, c.writable, c.xdgConfigHome, home);
        EXPECT_EQ(places.ServerFile, c.expected.ServerFile) << c.xdgConfigHome.toStdString();
        EXPECT_EQ(places.DataFolder, c.expected.DataFolder) << c.xdgConfigHome.toStdString();
        EXPECT_EQ(places.PerUserFolder, c.expected.PerUserFolder) << c.xdgConfigHome.toStdString();
    }
}

unsigned modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST(SettingsPathsTest, PerUserFoldersAreMadeOwnerOnlyAndExistingOnesKeepTheirMode)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const SettingsPlaces fresh =
        ChooseSettingsPlaces("/usr/lib/mofurin", false, QString(), home.path());
    ASSERT_TRUE(MakePerUserFolders(fresh));
    for (const QString& folder : {home.filePath(".config"), fresh.PerUserFolder, fresh.DataFolder})
        EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();

    // A configuration folder the user already has keeps the mode the user gave it.
    const QString own = home.filePath("own");
    ASSERT_TRUE(QDir().mkdir(own, QFile::Permissions(0x7755)));
    const SettingsPlaces inOwn = ChooseSettingsPlaces("/usr/lib/mofurin", false, own, home.path());
    ASSERT_TRUE(MakePerUserFolders(inOwn));
    EXPECT_EQ(modeOf(own), 0755u);
    EXPECT_EQ(modeOf(inOwn.DataFolder), 0700u);

    // A copy that keeps its settings beside itself never makes its ★MailData folder.
    const SettingsPlaces beside = ChooseSettingsPlaces(home.path(), true, QString(), home.path());
    EXPECT_TRUE(MakePerUserFolders(beside));
    EXPECT_FALSE(QFile::exists(beside.DataFolder));

    // Where the configuration folder cannot be made, the caller hears so.
    const SettingsPlaces blocked =
        ChooseSettingsPlaces("/usr/lib/mofurin", false, home.filePath("no/such/cfg"), home.path());
    EXPECT_FALSE(MakePerUserFolders(blocked));
}

} // namespace
