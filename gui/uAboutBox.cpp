#include "gui/uAboutBox.h"

#include "base/uFileVersion.h"
#include "base/uLocale.h"
#include "base/uVersionMark.h"
#include "gui/uIcons.h"
#include "gui/uLangForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

TfmAboutDlg::TfmAboutDlg(QWidget* AOwner, std::uint32_t APackedVersion, const QDate& AReleaseDate)
    : QDialog(AOwner) {
    setObjectName(QStringLiteral("TfmAboutDlg"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setPixmap(TarvoIcons::ProgramIcon().pixmap(32, 32));
    imgIcon->setFixedSize(32, 32);

    labProduct = new QLabel(QStringLiteral("Tarvo (Velmo)"), this);
    labProduct->setObjectName(QStringLiteral("labProduct"));
    QFont big = labProduct->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    labProduct->setFont(big);

    labVersion = new QLabel(VersionLine(APackedVersion, AReleaseDate), this);
    labVersion->setObjectName(QStringLiteral("labVersion"));
    labVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(labProduct);
    texts->addWidget(labVersion);
    auto* top = new QHBoxLayout;
    top->addWidget(imgIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(18, 18, 18, 12);
    main->addLayout(top);
    main->addSpacing(14);
    main->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
    RegisterLangForm(this, {QStringLiteral("TfmAboutDlg-labVersion-*")}); // numbers only
}

QString TfmAboutDlg::VersionLine(std::uint32_t APackedVersion, const QDate& AReleaseDate) {
    const QString sVersion = VersionText(APackedVersion);
    return QStringLiteral("%1 (%2)").arg(sVersion, UserLocale().toString(AReleaseDate, QLocale::ShortFormat));
}

QDate TfmAboutDlg::BuildDate() {
    // __DATE__ is "Mmm dd yyyy" with a space before a one-digit day.
    return QLocale::c().toDate(QString::fromLatin1(__DATE__).simplified(), QStringLiteral("MMM d yyyy"));
}

void DoAboutDlg(QWidget* AOwner) {
    std::uint32_t nVersion = GetFileVersionPacked(RunningExecutablePath());
    if (nVersion == 0)
        nVersion = CompiledVersionPacked();
    TfmAboutDlg dlg(AOwner, nVersion, TfmAboutDlg::BuildDate());
    dlg.exec();
}
