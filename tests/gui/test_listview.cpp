// The list view and its model over a row adapter: rows asked for on demand, icons, selection kept
// across updates, and the operator's gestures as signals.

#include "gui/uListView.h"

#include <QHeaderView>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// Rows "r<n>" with an icon on even rows; records what the view asks for.
class TFakeData : public TVirtualListViewData {
public:
    int m_nCount = 0;
    std::set<int> m_aAsked;
    int m_nHintFirst = -1, m_nHintLast = -1;

    int GetCount() const override { return m_nCount; }
    void GetData(int ARow, TListViewRow& VItem) override {
        m_aAsked.insert(ARow);
        VItem.m_sCaption = QString();
        VItem.m_nImageIndex = ARow % 2 == 0 ? 0 : -1;
        VItem.m_aSubItems = {QStringLiteral("r%1").arg(ARow), QStringLiteral("%1.00").arg(ARow)};
    }
    void DataHint(int AStartIndex, int AEndIndex) override {
        m_nHintFirst = AStartIndex;
        m_nHintLast = AEndIndex;
    }
};

// Rows showing entries in any order: each entry's number is its identity and its text.
class TEntryData : public TVirtualListViewData {
public:
    std::vector<int> m_aEntries;

    int GetCount() const override { return static_cast<int>(m_aEntries.size()); }
    void GetData(int ARow, TListViewRow& VItem) override {
        VItem.m_aSubItems = {QStringLiteral("e%1").arg(m_aEntries[static_cast<size_t>(ARow)])};
    }
    void DataHint(int, int) override {}
    std::uint64_t GetRowId(int ARow) const override {
        return static_cast<std::uint64_t>(m_aEntries[static_cast<size_t>(ARow)]);
    }
};

QIcon SolidIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::red);
    return QIcon(pm);
}

} // namespace

class TListViewTest : public QObject {
    Q_OBJECT
private:
    TFakeData m_oData;
    TListViewModel* m_pModel = nullptr;
    TListView* m_pView = nullptr;

    void Make(int ACount) {
        m_oData.m_nCount = ACount;
        m_oData.m_aAsked.clear();
        m_oData.m_nHintFirst = m_oData.m_nHintLast = -1;
        delete m_pView;
        delete m_pModel;
        m_pModel = new TListViewModel(
            m_oData, {{QStringLiteral("Camera"), 24, Qt::AlignLeft | Qt::AlignVCenter, false},
                      {QStringLiteral("User name"), 100, Qt::AlignLeft | Qt::AlignVCenter, true},
                      {QStringLiteral("Sum"), 0, Qt::AlignRight | Qt::AlignVCenter, false}});
        m_pModel->SetImageList({SolidIcon()});
        m_pView = new TListView;
        m_pView->SetListModel(m_pModel);
        m_pView->resize(400, 300);
        m_pView->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    }
    QPoint CellCenter(int ARow, int AColumn) const {
        return m_pView->visualRect(m_pModel->index(ARow, AColumn)).center();
    }

private Q_SLOTS:
    void cleanup() {
        delete m_pView;
        m_pView = nullptr;
        delete m_pModel;
        m_pModel = nullptr;
    }

    void modelShowsTheAdapterRows() {
        Make(3);
        QCOMPARE(m_pModel->rowCount(), 3);
        QCOMPARE(m_pModel->columnCount(), 3);
        QCOMPARE(m_pModel->headerData(1, Qt::Horizontal).toString(), QStringLiteral("User name"));
        QCOMPARE(m_pModel->index(2, 1).data().toString(), QStringLiteral("r2"));
        QCOMPARE(m_pModel->index(1, 2).data().toString(), QStringLiteral("1.00"));
        QCOMPARE(m_pModel->index(1, 0).data().toString(), QString());
        // Icons only in the first column and only where the row has one.
        QVERIFY(m_pModel->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull() == false);
        QVERIFY(!m_pModel->index(1, 0).data(Qt::DecorationRole).isValid());
        QVERIFY(!m_pModel->index(0, 1).data(Qt::DecorationRole).isValid());
        QCOMPARE(m_pModel->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QVERIFY(!(m_pModel->flags(m_pModel->index(0, 1)) & Qt::ItemIsEditable));
        // Column widths from the table; a column without one gets the default.
        QCOMPARE(m_pView->header()->sectionSize(0), 24);
        QCOMPARE(m_pView->header()->sectionSize(2), TListViewModel::DefaultColumnWidth);
        QCOMPARE(m_pView->header()->sectionResizeMode(1), QHeaderView::Stretch);
    }

    void onlyVisibleRowsAreAskedFor() {
        Make(100000);
        m_oData.m_aAsked.clear();
        m_pView->viewport()->repaint();
        QVERIFY(!m_oData.m_aAsked.empty());
        QVERIFY(m_oData.m_aAsked.size() < 100);
        QCOMPARE(m_oData.m_nHintFirst, 0);
        QVERIFY(m_oData.m_nHintLast >= *m_oData.m_aAsked.rbegin());
        // Scrolled to the end, the hint follows the visible rows.
        m_pView->scrollToBottom();
        m_pView->viewport()->repaint();
        QCOMPARE(m_oData.m_nHintLast, 99999);
        QVERIFY(m_oData.m_nHintFirst > 99900);
    }

    void updatesKeepTheSelectedRows() {
        Make(5);
        m_pView->selectionModel()->select(m_pModel->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_pView->selectionModel()->select(m_pModel->index(3, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_oData.m_nCount = 8;
        m_pView->UpdateAllView(true);
        QCOMPARE(m_pModel->rowCount(), 8);
        QCOMPARE(m_pView->SelectedRows(), QList<int>({1, 3}));
        m_oData.m_nCount = 2;
        m_pView->UpdateAllView(false);
        QCOMPARE(m_pModel->rowCount(), 2);
        QCOMPARE(m_pView->SelectedRows(), QList<int>({1}));
        QCOMPARE(m_pView->FirstSelectedRow(), 1);
        m_oData.m_nCount = 0;
        m_pView->UpdateAllView(true);
        QCOMPARE(m_pView->FirstSelectedRow(), -1);
    }

    // The selection and the current row stay on their entries when rows are inserted before them (the
    // newest-first log), removed before them (a check-out), reordered (a sort) or when the entries go.
    void selectionFollowsItsEntries_data() {
        QTest::addColumn<std::vector<int>>("before");
        QTest::addColumn<std::vector<int>>("selected"); // entries; the last is the current one
        QTest::addColumn<std::vector<int>>("after");
        QTest::addColumn<std::vector<int>>("kept"); // entries still selected
        QTest::addColumn<int>("current");           // entry of the current row, 0: none
        QTest::newRow("newest first, one new") << std::vector<int>{3, 2, 1} << std::vector<int>{3}
                                               << std::vector<int>{4, 3, 2, 1} << std::vector<int>{3} << 3;
        QTest::newRow("newest first, two new")
            << std::vector<int>{3, 2, 1} << std::vector<int>{2, 1} << std::vector<int>{5, 4, 3, 2, 1}
            << std::vector<int>{2, 1} << 1;
        QTest::newRow("removed before") << std::vector<int>{1, 2, 3, 4} << std::vector<int>{4, 3}
                                        << std::vector<int>{1, 3, 4} << std::vector<int>{3, 4} << 3;
        QTest::newRow("sorted the other way") << std::vector<int>{1, 2, 3, 4} << std::vector<int>{1, 2}
                                              << std::vector<int>{4, 3, 2, 1} << std::vector<int>{1, 2} << 2;
        QTest::newRow("selected entry gone") << std::vector<int>{1, 2, 3} << std::vector<int>{2}
                                             << std::vector<int>{1, 3} << std::vector<int>{} << 0;
        QTest::newRow("one of two gone, shorter list")
            << std::vector<int>{1, 2, 3, 4} << std::vector<int>{1, 4} << std::vector<int>{4, 2}
            << std::vector<int>{4} << 4;
        QTest::newRow("list emptied")
            << std::vector<int>{1, 2} << std::vector<int>{2} << std::vector<int>{} << std::vector<int>{} << 0;
    }
    void selectionFollowsItsEntries() {
        QFETCH(std::vector<int>, before);
        QFETCH(std::vector<int>, selected);
        QFETCH(std::vector<int>, after);
        QFETCH(std::vector<int>, kept);
        QFETCH(int, current);
        TEntryData data;
        data.m_aEntries = before;
        TListViewModel model(data, {{QStringLiteral("#"), 20, Qt::AlignLeft, false},
                                    {QStringLiteral("Entry"), 100, Qt::AlignLeft, true}});
        // Two views of one model: each keeps its own selection on the entries.
        TListView view, other;
        view.SetListModel(&model);
        other.SetListModel(&model);
        auto rowOf = [&](int AEntry) {
            return static_cast<int>(std::find(data.m_aEntries.begin(), data.m_aEntries.end(), AEntry) -
                                    data.m_aEntries.begin());
        };
        for (int e : selected) {
            view.selectionModel()->setCurrentIndex(model.index(rowOf(e), 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        other.selectionModel()->setCurrentIndex(model.index(rowOf(before.front()), 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);

        data.m_aEntries = after;
        view.UpdateAllView(false);

        QCOMPARE(model.rowCount(), static_cast<int>(after.size()));
        std::vector<int> shown;
        for (int r : view.SelectedRows())
            shown.push_back(data.m_aEntries[static_cast<size_t>(r)]);
        std::sort(shown.begin(), shown.end());
        std::sort(kept.begin(), kept.end());
        QCOMPARE(shown, kept);
        const QModelIndex cur = view.currentIndex();
        QCOMPARE(cur.isValid() ? data.m_aEntries[static_cast<size_t>(cur.row())] : 0, current);
        // Texts are those of the entries now in the rows.
        for (int r = 0; r < model.rowCount(); ++r)
            QCOMPARE(model.index(r, 1).data().toString(), QStringLiteral("e%1").arg(after[size_t(r)]));
        const bool otherKept = std::find(after.begin(), after.end(), before.front()) != after.end();
        QCOMPARE(other.FirstSelectedRow(), otherKept ? rowOf(before.front()) : -1);
    }

    // A window may free an adapter while a view still shows it: the view then shows no rows and never
    // asks the adapter again.
    void adapterGoingFirstLeavesAnEmptyList() {
        auto data = std::make_unique<TFakeData>();
        data->m_nCount = 20;
        TListViewModel model(*data, {{QStringLiteral("Camera"), 24, Qt::AlignLeft, false},
                                     {QStringLiteral("User name"), 100, Qt::AlignLeft, true}});
        TListView view;
        view.SetListModel(&model);
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.selectionModel()->setCurrentIndex(model.index(3, 0), QItemSelectionModel::Select);
        data.reset();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.Data() == nullptr);
        view.viewport()->repaint();
        view.UpdateAllView(true);
        QCOMPARE(view.FirstSelectedRow(), -1);
    }

    void ctrlASelectsAll() {
        Make(50);
        m_pView->setFocus();
        QTest::keyClick(m_pView, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_pView->SelectedRows().size(), 50);
    }

    void enterOnlyWithoutModifiers_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("fires");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false;
        QTest::newRow("Alt+Return") << int(Qt::Key_Return) << int(Qt::AltModifier) << false;
    }
    void enterOnlyWithoutModifiers() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, fires);
        Make(3);
        QSignalSpy spy(m_pView, &TListView::enterPressed);
        QTest::keyClick(m_pView, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(spy.count(), fires ? 1 : 0);
    }

    void doubleClickAndIconClickNameTheRow() {
        Make(4);
        QSignalSpy dbl(m_pView, &TListView::rowDoubleClicked);
        QSignalSpy icon(m_pView, &TListView::iconClicked);
        QTest::mouseDClick(m_pView->viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(2, 1));
        QCOMPARE(dbl.count(), 1);
        QCOMPARE(dbl.at(0).at(0).toInt(), 2);
        // Below the last row: nothing.
        QTest::mouseDClick(m_pView->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 280));
        QCOMPARE(dbl.count(), 1);

        icon.clear();
        const QRect cell0 = m_pView->visualRect(m_pModel->index(2, 0));
        QTest::mouseClick(m_pView->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(cell0.left() + 8, cell0.center().y()));
        QCOMPARE(icon.count(), 1);
        QCOMPARE(icon.at(0).at(0).toInt(), 2);
        // A row without an icon, and another column: no icon click.
        const QRect cell1 = m_pView->visualRect(m_pModel->index(1, 0));
        QTest::mouseClick(m_pView->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(cell1.left() + 8, cell1.center().y()));
        QTest::mouseClick(m_pView->viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(2, 1));
        QCOMPARE(icon.count(), 1);
    }

    void headerClicksOnlyWhenClickable() {
        Make(3);
        QSignalSpy spy(m_pView, &TListView::headerClicked);
        QHeaderView* header = m_pView->header();
        const QPoint sumHeader(header->sectionViewportPosition(2) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, sumHeader);
        QCOMPARE(spy.count(), 0);
        m_pView->SetHeaderClickable(true);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, sumHeader);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);

        m_pView->ShowSortColumn(-3);
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 2);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        m_pView->ShowSortColumn(2);
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        m_pView->ShowSortColumn(0);
        QVERIFY(!header->isSortIndicatorShown());
    }

    void contextMenuOverRowsOnly() {
        Make(3);
        QSignalSpy spy(m_pView, &TListView::contextMenuRequested);
        QContextMenuEvent onRows(QContextMenuEvent::Mouse, CellCenter(1, 1),
                                 m_pView->viewport()->mapToGlobal(CellCenter(1, 1)));
        QApplication::sendEvent(m_pView->viewport(), &onRows);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toPoint(), m_pView->viewport()->mapToGlobal(CellCenter(1, 1)));
        QHeaderView* header = m_pView->header();
        QContextMenuEvent onHeader(QContextMenuEvent::Mouse, QPoint(10, 5),
                                   header->viewport()->mapToGlobal(QPoint(10, 5)));
        QApplication::sendEvent(header->viewport(), &onHeader);
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TListViewTest)
#include "test_listview.moc"
