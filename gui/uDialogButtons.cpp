#include "gui/uDialogButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* MakeOkCancelRow(QWidget* AParent, QPushButton*& VOk, QPushButton*& VCancel) {
    auto* lButtons = new QHBoxLayout;
    lButtons->addStretch(1);
    VOk = new QPushButton(QStringLiteral("&OK"), AParent);
    VOk->setObjectName(QStringLiteral("btnOk"));
    VOk->setDefault(true);
    VCancel = new QPushButton(QStringLiteral("&Cancel"), AParent);
    VCancel->setObjectName(QStringLiteral("btnCancel"));
    lButtons->addWidget(VOk);
    lButtons->addWidget(VCancel);
    return lButtons;
}
