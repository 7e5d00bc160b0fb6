#include "Sandbox.h"
#include "engine/SettingsProfile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillmark::test {
namespace {

void setMode(const QString& path, mode_t mode) {
    ::chmod(QFile::encodeName(path).constData(), mode);
}

/// HOME and XDG_CONFIG_HOME point into the sandbox for the test's length.
class ProfilePlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("HOME", QFile::encodeName(QDir::cleanPath(home)));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral(".config")));
    }
    void TearDown() override {
        setMode(program, 0777);
        qputenv("HOME", m_oldHome);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    Sandbox box;
    QString program = box.makeDir(QStringLiteral("program"));
    QString home = box.makeDir(QStringLiteral("home"));
    QString userProfile = home + QStringLiteral(".config/quillmark/profile.ini");

private:
    QByteArray m_oldHome = qgetenv("HOME");
    QByteArray m_oldConfig = qgetenv("XDG_CONFIG_HOME");
};

TEST_F(ProfilePlaceTest, BesideTheProgramWhileItMayBeWritten) {
    enum class Beside { None, Writable, ReadOnly };
    enum class Docs { None, Installed };
    struct Case {
        mode_t directory;
        Beside profile;
        Docs docs;
        ProfilePlace expected;
    };
    const Case cases[] = {
        {0777, Beside::None, Docs::None, ProfilePlace::ProgramDirectory},
        {0777, Beside::ReadOnly, Docs::None, ProfilePlace::ProgramDirectory},
        {0555, Beside::Writable, Docs::None, ProfilePlace::ProgramDirectory},
        {0555, Beside::None, Docs::None, ProfilePlace::UserDirectories},
        {0555, Beside::ReadOnly, Docs::None, ProfilePlace::UserDirectories},
        {0777, Beside::None, Docs::Installed, ProfilePlace::UserDirectories},
        {0777, Beside::Writable, Docs::Installed, ProfilePlace::ProgramDirectory},
    };
    const QString beside = program + QStringLiteral("profile.ini");
    const QString docs = box.path(QStringLiteral("share/doc/quillmark"));
    for (const Case& c : cases) {
        setMode(program, 0777);
        QFile::remove(beside);
        QDir(box.path(QStringLiteral("share"))).removeRecursively();
        if (c.docs == Docs::Installed)
            QDir().mkpath(docs);
        if (c.profile != Beside::None) {
            box.write(program, "profile.ini", "[Config]\nGoodPercent=7\n; kept\n");
            setMode(beside, c.profile == Beside::Writable ? 0666 : 0444);
        }
        setMode(program, c.directory);
        const QString expectedPath =
            c.expected == ProfilePlace::ProgramDirectory ? beside : userProfile;
        // File modes do not bind root: the choice is made as an ordinary user,
        // and a writable profile in a read-only directory is written in place.
        const bool chosen = runUnprivileged([&] {
            const SettingsProfile profile = SettingsProfile::forProgram(program);
            if (profile.place() != c.expected || profile.path() != expectedPath)
                return false;
            if (c.profile != Beside::Writable)
                return true;
            Settings settings = profile.LoadSettings();
            settings.goodPercent = 44;
            profile.SaveSettings(settings);
            return profile.LoadSettings().goodPercent == 44;
        });
        EXPECT_TRUE(chosen) << "directory " << std::oct << c.directory << ", profile "
                            << static_cast<int>(c.profile);
    }
    EXPECT_TRUE(Sandbox::read(program, "profile.ini").contains("; kept\n"));
    EXPECT_FALSE(QFileInfo::exists(userProfile)) << "nothing written in the user's place";
}

TEST_F(ProfilePlaceTest, UserProfileDefaultsAndFileMatchTheProgramOne) {
    const SettingsProfile user = SettingsProfile::forUser();
    EXPECT_EQ(user.path(), userProfile);
    const Settings defaults = user.LoadSettings();
    EXPECT_EQ(defaults.dirSrc, home + QStringLiteral("Quillmark/Texts/"));
    EXPECT_EQ(defaults.dirOut, home + QStringLiteral("Quillmark/Texts/Result/"));

    // The same settings make the same file in either place.
    Settings settings = defaults;
    settings.shingleLen = 6;
    user.SaveSettings(settings);
    SettingsProfile(program).SaveSettings(settings);
    EXPECT_EQ(Sandbox::read(home + QStringLiteral(".config/quillmark/"), "profile.ini"),
              Sandbox::read(program, "profile.ini"));
    EXPECT_EQ(user.LoadSettings().shingleLen, 6);
    QDir().mkpath(home + QStringLiteral("Documents"));
    EXPECT_EQ(SettingsProfile::forUser().defaultSourceDirectory(),
              home + QStringLiteral("Documents/Quillmark/Texts/"));
}

TEST_F(ProfilePlaceTest, FirstStartSeedsTheDefaultTextsOnce) {
    const QString samples = box.makeDir(QStringLiteral("samples"));
    box.write(samples, "a.txt", "первая статья");
    box.write(samples, "b.txt", "вторая статья");
    const SettingsProfile user = SettingsProfile::forUser();
    const QString texts = user.defaultSourceDirectory();

    EXPECT_EQ(SettingsProfile(program).seedDefaultTexts(samples), 0) << "beside: ./run seeds";
    ASSERT_EQ(user.seedDefaultTexts(samples), 2);
    EXPECT_EQ(Sandbox::names(texts), (QList<QByteArray>{"a.txt", "b.txt"}));
    EXPECT_EQ(Sandbox::read(texts, "a.txt"), "первая статья");

    // After the first exit a missing folder is the user's choice.
    user.SaveSettings(user.LoadSettings());
    QDir(texts).removeRecursively();
    EXPECT_EQ(user.seedDefaultTexts(samples), 0);
    EXPECT_FALSE(QFileInfo::exists(texts));
}

} // namespace
} // namespace quillmark::test
