#pragma once
// The data file of the settings dialog tests: in a private folder, written with a test's settings and
// opened again as the program opens it at start.

#include "frontdesk/uTarvoDoc.h"
#include "tests/common/TestSupport.h"

#include <memory>

class TSettingsDocFile {
public:
    QString DataFile() const { return m_oDir.FilePath(QStringLiteral("Tarvo.xml")); }
    // The document of the file, opened; language files are looked for in the folder's "Languages".
    std::unique_ptr<Tarvo::TTarvoDoc> OpenDoc() const {
        auto lDoc = std::make_unique<Tarvo::TTarvoDoc>();
        lDoc->SetFileName(DataFile());
        lDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        lDoc->Open();
        return lDoc;
    }
    // Writes the file with ASetup's settings and opens it anew.
    template <class TSetup> std::unique_ptr<Tarvo::TTarvoDoc> Reopened(TSetup ASetup) const {
        auto lDoc = OpenDoc();
        ASetup(*lDoc);
        lDoc->Save();
        lDoc->Close();
        return OpenDoc();
    }

private:
    TTempDir m_oDir;
};
