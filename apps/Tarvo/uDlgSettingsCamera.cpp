// The settings dialog's "Camera" page: where the photos of the card events come from.

#include "apps/Tarvo/uDlgSettings.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr const char* SOURCE_CAPTIONS[] = {"&None", "&Webcam", "&Video integration with Luxriot"};
constexpr const char* SOURCE_NAMES[] = {"rbCamNone", "rbCamWeb", "rbCamVI"};

} // namespace

QWidget* TfmSettingsDlg::CreateCameraPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsCamera"));
    auto* lLayout = new QVBoxLayout(lPage);

    rgCamSource = new QGroupBox(QStringLiteral("Source"), lPage);
    rgCamSource->setObjectName(QStringLiteral("rgCamSource"));
    auto* lSources = new QVBoxLayout(rgCamSource);
    m_oCamSourceGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* lButton = new QRadioButton(QString::fromUtf8(SOURCE_CAPTIONS[i]), rgCamSource);
        lButton->setObjectName(QLatin1String(SOURCE_NAMES[i]));
        m_oCamSourceGroup->addButton(lButton, i);
        lSources->addWidget(lButton);
    }
    lLayout->addWidget(rgCamSource);
    lLayout->addStretch(1);

    connect(m_oCamSourceGroup, &QButtonGroup::idClicked, this, &TfmSettingsDlg::rgCamSourceClick);
    return lPage;
}

void TfmSettingsDlg::LoadCameraPage() {
    ++m_nCtrlUpdate;
    QAbstractButton* lButton = m_oCamSourceGroup->button(m_oCopy.m_nCamSource);
    if (lButton) {
        lButton->setChecked(true);
    } else if (QAbstractButton* lChecked = m_oCamSourceGroup->checkedButton()) {
        // A source this program does not know: no item is shown chosen.
        m_oCamSourceGroup->setExclusive(false);
        lChecked->setChecked(false);
        m_oCamSourceGroup->setExclusive(true);
    }
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::rgCamSourceClick(int AIdx) {
    if (m_nCtrlUpdate == 0)
        m_oCopy.m_nCamSource = AIdx;
}
