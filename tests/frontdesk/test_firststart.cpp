// The first-start offer: when the front desk names its data folder and offers the configuration program.
#include "frontdesk/uFirstStart.h"

#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using Tarvo::TFirstStartFacts;

TEST(FirstStart, OfferedOnlyWithoutDataFileChosenFolderOrHandOver) {
    const struct {
        bool m_fDataDirGiven, m_fDataFileExists, m_fHandOver, m_fOffer;
    } cases[] = {
        {false, false, false, true}, // an installed copy's first start
        {false, true, false, false}, // set up already
        {true, false, false, false}, // the user chose the folder (demo, tests)
        {false, false, true, false}, // handed over by ConfigTarvo, whose user has just been there
        {true, true, true, false},
    };
    for (const auto& c : cases) {
        TFirstStartFacts facts;
        facts.m_fDataDirGiven = c.m_fDataDirGiven;
        facts.m_fDataFileExists = c.m_fDataFileExists;
        facts.m_fHandOver = c.m_fHandOver;
        EXPECT_EQ(Tarvo::ShouldOfferSetup(facts), c.m_fOffer)
            << c.m_fDataDirGiven << c.m_fDataFileExists << c.m_fHandOver;
    }
}

TEST(FirstStart, FactsComeFromTheEnvironmentAndTheDataFolder) {
    TTempDir dir;
    TEnvOverride data("TARVO_DATA_DIR", QFile::encodeName(dir.Path()));
    TFirstStartFacts facts = Tarvo::CurrentFirstStartFacts(false);
    EXPECT_TRUE(facts.m_fDataDirGiven);
    EXPECT_FALSE(facts.m_fDataFileExists);
    EXPECT_FALSE(facts.m_fHandOver);

    dir.WriteFile(QStringLiteral("Tarvo.xml"), "<Tarvo/>");
    facts = Tarvo::CurrentFirstStartFacts(true);
    EXPECT_TRUE(facts.m_fDataFileExists);
    EXPECT_TRUE(facts.m_fHandOver);

    // Blank counts as unset, as it does for the data folder itself.
    TEnvOverride blank("TARVO_DATA_DIR", "  ");
    EXPECT_FALSE(Tarvo::CurrentFirstStartFacts(false).m_fDataDirGiven);
}

TEST(FirstStart, TextNamesTheDataFolder) {
    const QString text = Tarvo::FirstStartText(QStringLiteral("/home/cafe/.local/share/Tarvo"));
    EXPECT_TRUE(text.contains(QStringLiteral("\n/home/cafe/.local/share/Tarvo\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ConfigTarvo"))) << text.toStdString();
}

} // namespace
