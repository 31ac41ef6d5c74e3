#include "base/uExceptions.h"
#include "base/uPaths.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets an environment variable for the scope and puts the old value back.
class TEnvVar {
public:
    TEnvVar(const char* AName, const QString& AValue) : m_sName(AName), m_aOld(qgetenv(AName)) {
        qputenv(AName, AValue.toLocal8Bit());
    }
    ~TEnvVar() {
        if (m_aOld.isNull())
            qunsetenv(m_sName);
        else
            qputenv(m_sName, m_aOld);
    }

private:
    const char* m_sName;
    QByteArray m_aOld;
};

mode_t ModeOf(const QString& APath) {
    struct stat lStat {};
    EXPECT_EQ(lstat(QFile::encodeName(APath).constData(), &lStat), 0) << APath.toStdString();
    return lStat.st_mode & 07777;
}

TEST(Paths, JoinPath) {
    EXPECT_EQ(JoinPath(QStringLiteral("/data"), QStringLiteral("Tarvo.xml")),
              QStringLiteral("/data/Tarvo.xml"));
    EXPECT_EQ(JoinPath(QStringLiteral("/data/"), QStringLiteral("Tarvo.xml")),
              QStringLiteral("/data/Tarvo.xml"));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("x")), QStringLiteral("/x"));
    EXPECT_EQ(JoinPath(QString(), QStringLiteral("x")), QStringLiteral("x"));
}

TEST(Paths, ProgramAndDataFolders) {
    // Without an application object the folder comes from the executable itself.
    EXPECT_TRUE(QFileInfo::exists(JoinPath(ProgramDir(), QStringLiteral("base_test_paths"))))
        << ProgramDir().toStdString();
    TTempDir lTemp;
    const QString lData = lTemp.FilePath(QStringLiteral("not/yet/there"));
    TEnvVar lEnv("TARVO_DATA_DIR", lData);
    EXPECT_EQ(DataDir(), lData);
    EXPECT_TRUE(QFileInfo(lData).isDir()) << "created for the first save";
    EXPECT_EQ(DataFilePath(), lData + QStringLiteral("/Tarvo.xml"));
}

TEST(Paths, RuntimeFolderIsPrivate) {
    TTempDir lTemp;
    TEnvVar lEnv("XDG_RUNTIME_DIR", lTemp.Path());
    const QString lExpected = lTemp.FilePath(QStringLiteral("tarvo"));
    EXPECT_EQ(RuntimeDir(), lExpected);
    EXPECT_EQ(ModeOf(lExpected), mode_t(0700));

    // A folder left open to others is closed again.
    ASSERT_EQ(chmod(QFile::encodeName(lExpected).constData(), 0777), 0);
    EXPECT_EQ(RuntimeDir(), lExpected);
    EXPECT_EQ(ModeOf(lExpected), mode_t(0700));

    // Something else in its place (here a link to a folder someone else could control) is refused.
    ASSERT_TRUE(QDir(lExpected).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(lTemp.FilePath(QStringLiteral("elsewhere"))));
    ASSERT_TRUE(QFile::link(lTemp.FilePath(QStringLiteral("elsewhere")), lExpected));
    EXPECT_THROW(RuntimeDir(), EInOutError);
    ASSERT_TRUE(QFile::remove(lExpected));
    ASSERT_TRUE(lTemp.WriteFile(QStringLiteral("tarvo"), "x").size() > 0);
    EXPECT_THROW(RuntimeDir(), EInOutError);
}

TEST(Paths, RuntimeFolderWithoutXdgRuntimeDir) {
    TEnvVar lEnv("XDG_RUNTIME_DIR", QString());
    const QString lExpected = QStringLiteral("/tmp/tarvo-%1").arg(geteuid());
    EXPECT_EQ(RuntimeDir(), lExpected);
    EXPECT_EQ(ModeOf(lExpected), mode_t(0700));
}

} // namespace
