#include "gui/uLangProps.h"

#include "base/uExceptions.h"
#include "base/uLocale.h"
#include "gui/uListViewModel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

// One element of a property path: a name, optionally with an index in () or <>.
struct TPathElem {
    QString m_sName;
    QChar m_cBracket; // 0, '(' or '<'
    QString m_sIndex;
};

std::vector<TPathElem> SplitPath(const QString& APath) {
    std::vector<TPathElem> lElems;
    for (const QString& lPart : APath.split(QLatin1Char('.'))) {
        TPathElem lElem;
        qsizetype lOpen = -1;
        for (qsizetype i = 0; i < lPart.size() && lOpen < 0; ++i)
            if (lPart.at(i) == QLatin1Char('(') || lPart.at(i) == QLatin1Char('<'))
                lOpen = i;
        if (lOpen < 0) {
            lElem.m_sName = lPart;
        } else {
            const QChar lClose = lPart.at(lOpen) == QLatin1Char('(') ? QLatin1Char(')') : QLatin1Char('>');
            lElem.m_sName = lPart.left(lOpen);
            if (lPart.endsWith(lClose)) {
                lElem.m_cBracket = lPart.at(lOpen);
                lElem.m_sIndex = lPart.mid(lOpen + 1, lPart.size() - lOpen - 2);
            } else {
                lElem.m_sName = lPart; // no closing bracket: a name that matches nothing
            }
        }
        lElems.push_back(lElem);
    }
    return lElems;
}

bool Is(const TPathElem& AElem, const char* AName, QChar ABracket = QChar()) {
    return AElem.m_cBracket == ABracket &&
           AElem.m_sName.compare(QLatin1String(AName), Qt::CaseInsensitive) == 0;
}

int IndexOf(const TPathElem& AElem) {
    return StrToInt(AElem.m_sIndex.trimmed()); // EConvertError for anything but a number
}

QTabWidget* TabWidgetOfPage(const QWidget* APage) {
    const QWidget* lStack = APage->parentWidget();
    if (qobject_cast<const QStackedWidget*>(lStack) == nullptr || lStack->parentWidget() == nullptr)
        return nullptr;
    auto* lTabs = qobject_cast<QTabWidget*>(lStack->parentWidget());
    return lTabs != nullptr && lTabs->indexOf(const_cast<QWidget*>(APage)) >= 0 ? lTabs : nullptr;
}

// The Caption of an object, when it has one; VHas tells.
QString GetCaption(const QObject* AObject, bool AIsWindow, bool& VHas) {
    VHas = true;
    if (const auto* lWidget = qobject_cast<const QWidget*>(AObject)) {
        if (AIsWindow)
            return lWidget->windowTitle();
        if (const auto* lLabel = qobject_cast<const QLabel*>(lWidget))
            return lLabel->text();
        if (const auto* lButton = qobject_cast<const QAbstractButton*>(lWidget))
            return lButton->text();
        if (const auto* lGroup = qobject_cast<const QGroupBox*>(lWidget))
            return lGroup->title();
        if (const auto* lMenu = qobject_cast<const QMenu*>(lWidget))
            return lMenu->title();
        if (const QTabWidget* lTabs = TabWidgetOfPage(lWidget))
            return lTabs->tabText(lTabs->indexOf(const_cast<QWidget*>(lWidget)));
    } else if (const auto* lAction = qobject_cast<const QAction*>(AObject)) {
        if (!lAction->isSeparator())
            return lAction->text();
    }
    VHas = false;
    return QString();
}

void SetCaption(QObject* AObject, bool AIsWindow, const QString& AText) {
    if (auto* lWidget = qobject_cast<QWidget*>(AObject)) {
        if (AIsWindow)
            lWidget->setWindowTitle(AText);
        else if (auto* lLabel = qobject_cast<QLabel*>(lWidget))
            lLabel->setText(AText);
        else if (auto* lButton = qobject_cast<QAbstractButton*>(lWidget))
            lButton->setText(AText);
        else if (auto* lGroup = qobject_cast<QGroupBox*>(lWidget))
            lGroup->setTitle(AText);
        else if (auto* lMenu = qobject_cast<QMenu*>(lWidget))
            lMenu->setTitle(AText);
        else if (QTabWidget* lTabs = TabWidgetOfPage(lWidget))
            lTabs->setTabText(lTabs->indexOf(lWidget), AText);
    } else if (auto* lAction = qobject_cast<QAction*>(AObject)) {
        lAction->setText(AText);
    }
}

bool HasHint(const QObject* AObject) {
    return qobject_cast<const QWidget*>(AObject) != nullptr ||
           qobject_cast<const QAction*>(AObject) != nullptr;
}

QString GetHint(const QObject* AObject) {
    if (const auto* lWidget = qobject_cast<const QWidget*>(AObject))
        return lWidget->toolTip();
    return qobject_cast<const QAction*>(AObject)->toolTip();
}

void SetHint(QObject* AObject, const QString& AText) {
    if (auto* lWidget = qobject_cast<QWidget*>(AObject)) {
        lWidget->setToolTip(AText);
        lWidget->setStatusTip(AText);
    } else if (auto* lAction = qobject_cast<QAction*>(AObject)) {
        lAction->setToolTip(AText);
        lAction->setStatusTip(AText);
    }
}

// The editable text of a line edit or an editable combo box; VHas tells.
QString GetText(const QObject* AObject, bool& VHas) {
    VHas = true;
    if (const auto* lEdit = qobject_cast<const QLineEdit*>(AObject))
        return lEdit->text();
    if (const auto* lCombo = qobject_cast<const QComboBox*>(AObject);
        lCombo != nullptr && lCombo->isEditable())
        return lCombo->currentText();
    VHas = false;
    return QString();
}

void SetText(QObject* AObject, const QString& AText) {
    if (auto* lEdit = qobject_cast<QLineEdit*>(AObject))
        lEdit->setText(AText);
    else if (auto* lCombo = qobject_cast<QComboBox*>(AObject))
        lCombo->setEditText(AText);
}

// Items of a combo box or list box.
int ItemCount(const QObject* AObject) {
    if (const auto* lCombo = qobject_cast<const QComboBox*>(AObject))
        return lCombo->count();
    if (const auto* lList = qobject_cast<const QListWidget*>(AObject))
        return lList->count();
    return -1;
}

QString ItemText(const QObject* AObject, int AIdx) {
    if (const auto* lCombo = qobject_cast<const QComboBox*>(AObject))
        return lCombo->itemText(AIdx);
    return qobject_cast<const QListWidget*>(AObject)->item(AIdx)->text();
}

void SetItemText(QObject* AObject, int AIdx, const QString& AText) {
    if (auto* lCombo = qobject_cast<QComboBox*>(AObject))
        lCombo->setItemText(AIdx, AText);
    else if (auto* lList = qobject_cast<QListWidget*>(AObject))
        lList->item(AIdx)->setText(AText);
}

// Header sections of a list view (a tree widget's header included); -1 when it is none.
const QAbstractItemModel* ColumnModel(const QObject* AObject) {
    const auto* lView = qobject_cast<const QAbstractItemView*>(AObject);
    if (lView == nullptr || qobject_cast<const QListWidget*>(AObject) != nullptr)
        return nullptr;
    return lView->model();
}

void SetColumnCaption(QObject* AObject, int AIdx, const QString& AText) {
    auto* lView = qobject_cast<QAbstractItemView*>(AObject);
    QAbstractItemModel* lModel = lView->model();
    if (auto* lOwn = qobject_cast<TListViewModel*>(lModel)) {
        QStringList lCaptions;
        for (const TListViewColumn& lColumn : lOwn->Columns())
            lCaptions << lColumn.m_sCaption;
        lCaptions[AIdx] = AText;
        lOwn->SetColumnCaptions(lCaptions);
    } else {
        lModel->setHeaderData(AIdx, Qt::Horizontal, AText, Qt::DisplayRole);
    }
}

// The nodes of a tree in display order (each before its children).
QList<QTreeWidgetItem*> TreeNodes(const QTreeWidget* ATree) {
    QList<QTreeWidgetItem*> lNodes;
    std::vector<QTreeWidgetItem*> lStack;
    for (int i = ATree->topLevelItemCount() - 1; i >= 0; --i)
        lStack.push_back(ATree->topLevelItem(i));
    while (!lStack.empty()) {
        QTreeWidgetItem* lNode = lStack.back();
        lStack.pop_back();
        lNodes << lNode;
        for (int i = lNode->childCount() - 1; i >= 0; --i)
            lStack.push_back(lNode->child(i));
    }
    return lNodes;
}

} // namespace

std::vector<TLangProp> LangPropsOf(const QObject* AObject, bool AIsWindow) {
    std::vector<TLangProp> lProps;
    bool lHas = false;
    const QString lCaption = GetCaption(AObject, AIsWindow, lHas);
    if (lHas)
        lProps.push_back({QStringLiteral("Caption"), lCaption});
    if (HasHint(AObject))
        lProps.push_back({QStringLiteral("Hint"), GetHint(AObject)});
    const QString lText = GetText(AObject, lHas);
    if (lHas)
        lProps.push_back({QStringLiteral("Text"), lText});
    for (int i = 0, n = ItemCount(AObject); i < n; ++i)
        lProps.push_back({QStringLiteral("Items.Strings(%1)").arg(i), ItemText(AObject, i)});
    if (const auto* lBar = qobject_cast<const QTabBar*>(AObject))
        for (int i = 0; i < lBar->count(); ++i)
            lProps.push_back({QStringLiteral("Tabs.Strings(%1)").arg(i), lBar->tabText(i)});
    if (const QAbstractItemModel* lModel = ColumnModel(AObject))
        for (int i = 0; i < lModel->columnCount(); ++i)
            lProps.push_back({QStringLiteral("Columns<%1>.Caption").arg(i),
                              lModel->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString()});
    if (const auto* lTree = qobject_cast<const QTreeWidget*>(AObject)) {
        const QList<QTreeWidgetItem*> lNodes = TreeNodes(lTree);
        for (int i = 0; i < lNodes.size(); ++i)
            lProps.push_back({QStringLiteral("Items(%1)").arg(i), lNodes.at(i)->text(0)});
    }
    return lProps;
}

bool SetLangProp(QObject* AObject, bool AIsWindow, const QString& APath, const QString& AText) {
    const std::vector<TPathElem> lPath = SplitPath(APath);
    // Indexes are read first, so that a bad one is an error wherever it stands.
    for (const TPathElem& lElem : lPath)
        if (!lElem.m_cBracket.isNull())
            (void)IndexOf(lElem);
    if (lPath.size() == 1) {
        const TPathElem& lElem = lPath.front();
        bool lHas = false;
        if (Is(lElem, "Caption")) {
            if (GetCaption(AObject, AIsWindow, lHas) != AText && lHas)
                SetCaption(AObject, AIsWindow, AText);
            return lHas;
        }
        if (Is(lElem, "Hint")) {
            if (!HasHint(AObject))
                return false;
            if (GetHint(AObject) != AText)
                SetHint(AObject, AText);
            return true;
        }
        if (Is(lElem, "Text")) {
            if (GetText(AObject, lHas) != AText && lHas)
                SetText(AObject, AText);
            return lHas;
        }
        if (Is(lElem, "Items", QLatin1Char('('))) {
            auto* lTree = qobject_cast<QTreeWidget*>(AObject);
            if (lTree == nullptr)
                return false;
            const QList<QTreeWidgetItem*> lNodes = TreeNodes(lTree);
            const int lIdx = IndexOf(lElem);
            if (lIdx < 0 || lIdx >= lNodes.size())
                return false;
            if (lNodes.at(lIdx)->text(0) != AText)
                lNodes.at(lIdx)->setText(0, AText);
            return true;
        }
        return false;
    }
    if (lPath.size() != 2)
        return false;
    const TPathElem& lFirst = lPath.front();
    const TPathElem& lLast = lPath.back();
    if (Is(lFirst, "Items") && lLast.m_cBracket == QLatin1Char('(')) {
        // Any name in the parentheses element: it is no property of a string list.
        const int lCount = ItemCount(AObject);
        const int lIdx = IndexOf(lLast);
        if (lCount < 0 || lIdx < 0 || lIdx >= lCount)
            return false;
        if (ItemText(AObject, lIdx) != AText)
            SetItemText(AObject, lIdx, AText);
        return true;
    }
    if (Is(lFirst, "Tabs") && lLast.m_cBracket == QLatin1Char('(')) {
        auto* lBar = qobject_cast<QTabBar*>(AObject);
        const int lIdx = IndexOf(lLast);
        if (lBar == nullptr || lIdx < 0 || lIdx >= lBar->count())
            return false;
        if (lBar->tabText(lIdx) != AText)
            lBar->setTabText(lIdx, AText);
        return true;
    }
    if (Is(lFirst, "Columns", QLatin1Char('<')) && Is(lLast, "Caption")) {
        const QAbstractItemModel* lModel = ColumnModel(AObject);
        if (lModel == nullptr)
            return false;
        const int lIdx = IndexOf(lFirst);
        if (lIdx < 0 || lIdx >= lModel->columnCount())
            throw EListError(QStringLiteral("List index out of bounds (%1)").arg(lIdx));
        if (lModel->headerData(lIdx, Qt::Horizontal, Qt::DisplayRole).toString() != AText)
            SetColumnCaption(AObject, lIdx, AText);
        return true;
    }
    return false;
}
