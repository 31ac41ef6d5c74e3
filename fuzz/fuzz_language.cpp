// A language file of any bytes loaded by the translator against a window of every kind of component:
// only the translator's own errors may stop the loading, a stopped loading leaves nothing routed, a
// completed one answers every catalogued message, and the template writer's output loads again.

#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "gui/uIniLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* AWhat) {
    std::fprintf(stderr, "fuzz_language: %s\n", AWhat);
    std::abort();
}

QWidget* MakeWindow() {
    auto* lForm = new QWidget();
    lForm->setObjectName(QStringLiteral("TfmMain"));
    auto* lLayout = new QVBoxLayout(lForm);
    const auto lAdd = [&](QWidget* AWidget, const char* AName) {
        AWidget->setObjectName(QString::fromLatin1(AName));
        lLayout->addWidget(AWidget);
    };
    lAdd(new QLabel(QStringLiteral("Name")), "labName");
    lAdd(new QPushButton(QStringLiteral("OK")), "btnOk");
    lAdd(new QLineEdit(QStringLiteral("COM3")), "edtPort");
    auto* lCombo = new QComboBox();
    lCombo->addItems({QStringLiteral("a"), QStringLiteral("b")});
    lAdd(lCombo, "cbMode");
    auto* lView = new QTreeView();
    auto* lModel = new QStandardItemModel(0, 3, lView);
    lView->setModel(lModel);
    lAdd(lView, "lvLog");
    auto* lTree = new QTreeWidget();
    new QTreeWidgetItem(new QTreeWidgetItem(lTree, {QStringLiteral("x")}), {QStringLiteral("y")});
    lAdd(lTree, "tvNodes");
    return lForm;
}

QWidget* gForm = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* AArgc, char*** AArgv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*AArgc, *AArgv);
    // Made and laid out once before the inputs: the font configuration it loads stays for good.
    gForm = MakeWindow();
    gForm->adjustSize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    static QTemporaryDir* sDir = new QTemporaryDir();
    QWidget* const sForm = gForm;
    const QString lPath = sDir->filePath(QStringLiteral("Tarvo-Fuzz.lng"));
    {
        QFile lFile(lPath);
        if (!lFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fail("cannot write the language file");
        lFile.write(reinterpret_cast<const char*>(AData), qint64(ASize));
    }
    SetMsgProgram(TMsgProgram::FrontDesk);
    TIniLanguage lLang;
    lLang.RegisterForm(sForm);
    lLang.SetFileName(lPath);
    try {
        lLang.SetLoaded(true);
    } catch (const Exception&) {
        if (lLang.Loaded())
            Fail("a failed loading stays loaded");
        if (LoadResString(MSG_APP_TITLE) != BuiltInResString(MSG_APP_TITLE, TMsgProgram::FrontDesk))
            Fail("a failed loading leaves the lookups routed");
        return 0;
    }
    for (const int lId : CatalogueIds(TMsgProgram::FrontDesk))
        (void)FormatResString(lId, {std::int64_t(1), QStringLiteral("x")});
    // What the template writer makes of the translated window loads again.
    const QString lTemplate = sDir->filePath(QStringLiteral("Template.lng"));
    QFile::remove(lTemplate);
    lLang.SaveAs(lTemplate);
    TIniLanguage lAgain;
    lAgain.SetFileName(lTemplate);
    try {
        lAgain.SetLoaded(true);
    } catch (const Exception&) {
        Fail("the template writer's file does not load");
    }
    return 0;
}
