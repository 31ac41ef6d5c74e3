// Loading and saving "Tarvo.xml" with 10,000 cards and 200 zones, by both documents, side by side with
// pugixml parsing the same file and walking its elements. Also the name lookup of many "Item" children,
// which must grow linearly with their number.
#include "base/uMemXml.h"
#include "config/uTarvoDoc.h"
#include "frontdesk/uTarvoDoc.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>

namespace {

constexpr int kCards = 10000;
constexpr int kZones = 200;

// Builds the data file once, through the configuration document, as the programs would write it.
const QString& DataFile() {
    static QTemporaryDir sDir;
    static QString sPath;
    if (sPath.isEmpty()) {
        sPath = sDir.filePath(QStringLiteral("Tarvo.xml"));
        ConfigTarvo::TTarvoDoc lDoc;
        lDoc.SetFileName(sPath);
        lDoc.Open();
        for (int i = 0; i < kZones; ++i)
            lDoc.AddTimeZone(QStringLiteral("Zone %1").arg(i), EncodeTime(i * 7 / 60 % 24, i * 7 % 60, 0, 0),
                             Extended(i) / 4, Extended(i) / 8);
        for (int i = 0; i < kCards; ++i) {
            TOrv_KEYNUM lNumber{};
            HexToKeyNum(QStringLiteral("%1").arg(0x10000000u + unsigned(i) * 7919u, 8, 16, QLatin1Char('0')), lNumber);
            lDoc.AddCard(lNumber, QStringLiteral("Guest %1").arg(i), QStringLiteral("Comment & <%1>").arg(i), i % 11);
        }
        lDoc.Save();
        Tarvo::TTarvoDoc lFront;  // the front desk's sections too, so both loads read a full file
        lFront.SetFileName(sPath);
        lFront.Open();
        lFront.SetPrinter(QStringLiteral("Receipts"));
        lFront.Save();
    }
    return sPath;
}

QString CopyOf(const QString& ASource, const char* AName) {
    const QString lPath = QFileInfo(ASource).dir().filePath(QString::fromLatin1(AName));
    QFile::remove(lPath);
    QFile::copy(ASource, lPath);
    return lPath;
}

void BM_PugixmlParseAndWalk(benchmark::State& AState) {
    const QByteArray lPath = QFile::encodeName(DataFile());
    for (auto _ : AState) {
        pugi::xml_document lDoc;
        lDoc.load_file(lPath.constData());
        size_t lCount = 0;
        for (pugi::xml_node lSection : lDoc.child("Tarvo").children())
            for (pugi::xml_node lItem : lSection.children()) {
                lCount += std::strlen(lItem.attribute("number").value()) + std::strlen(lItem.attribute("name").value());
                for (pugi::xml_node lChild : lItem.children())
                    lCount += std::strlen(lChild.child_value());
            }
        benchmark::DoNotOptimize(lCount);
    }
}

void BM_MemXmlParse(benchmark::State& AState) {
    for (auto _ : AState) {
        TMemXml lXml(DataFile(), TXmlEncoding::Utf8);
        benchmark::DoNotOptimize(lXml.RootNode().ChildNodes().Count());
    }
}

template <class TDoc>
void BM_LoadFromFile(benchmark::State& AState) {
    for (auto _ : AState) {
        TDoc lDoc;
        lDoc.LoadFromFile(DataFile());
        benchmark::DoNotOptimize(lDoc.Cards().Count());
    }
}

template <class TDoc>
void BM_SaveToFile(benchmark::State& AState) {
    const QString lPath = CopyOf(DataFile(), "Save.xml");
    TDoc lDoc;
    lDoc.LoadFromFile(lPath);
    for (auto _ : AState)
        lDoc.SaveToFile(lPath);
}

// Looking up each of N children by name: hashed, so the time per lookup stays flat as N grows.
void BM_LookupEachItem(benchmark::State& AState) {
    const int lCount = static_cast<int>(AState.range(0));
    TMXNode lParent;
    QStringList lNames;
    for (int i = 1; i <= lCount; ++i) {
        lNames << QStringLiteral("Item%1").arg(i);
        lParent.AddNode(lNames.back());
    }
    for (auto _ : AState)
        for (const QString& lName : lNames)
            benchmark::DoNotOptimize(lParent.ChildNodes().GetNodeByName(lName));
    AState.SetComplexityN(lCount);
}

} // namespace

BENCHMARK(BM_PugixmlParseAndWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemXmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromFile<Tarvo::TTarvoDoc>)->Name("BM_LoadFromFile/frontdesk")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromFile<ConfigTarvo::TTarvoDoc>)->Name("BM_LoadFromFile/config")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile<Tarvo::TTarvoDoc>)->Name("BM_SaveToFile/frontdesk")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile<ConfigTarvo::TTarvoDoc>)->Name("BM_SaveToFile/config")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupEachItem)->RangeMultiplier(10)->Range(100, 100000)->Complexity(benchmark::oN);

BENCHMARK_MAIN();
