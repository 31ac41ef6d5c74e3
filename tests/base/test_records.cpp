// Owning record lists: identifiers, sorting, checked access.
#include "base/uExceptions.h"
#include "base/uRecords.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

void AddZone(TTimeZoneList& AList, std::int32_t AId, int AHour, int AMin) {
    auto lZone = std::make_unique<TTarvoTimeZone>();
    lZone->m_nId = AId;
    lZone->m_tStartTime = EncodeTime(AHour, AMin, 0, 0);
    AList.Add(std::move(lZone));
}

TEST(RecordLists, NewIdsFollowTheLargestAndAreNeverReused) {
    TTimeZoneList lList;
    AddZone(lList, 3, 0, 0);
    AddZone(lList, 12, 0, 0);
    AddZone(lList, 7, 0, 0);
    EXPECT_EQ(lList.GenNewId(), 13);
    lList.Clear();
    EXPECT_EQ(lList.GenNewId(), 14);
}

TEST(RecordLists, TheLargestIdentifierDoesNotWrapAround) {
    TTimeZoneList lList;
    AddZone(lList, INT32_MAX - 1, 0, 0);
    EXPECT_EQ(lList.GenNewId(), INT32_MAX);
    EXPECT_THROW(lList.GenNewId(), EListError);

    TTimeZoneList lFull;
    AddZone(lFull, INT32_MAX, 0, 0);
    EXPECT_THROW(lFull.GenNewId(), EListError);
}

TEST(RecordLists, SortByTimeOfDayIgnoresDatesAndKeepsEqualsTogether) {
    TTimeZoneList lList;
    AddZone(lList, 1, 18, 0);
    AddZone(lList, 2, 6, 30);
    AddZone(lList, 3, 0, 0);
    lList.GetZone(2)->m_tStartTime += 45000;  // a date part must not matter
    lList.SortByTime();
    EXPECT_EQ(lList.GetZone(0)->m_nId, 3);
    EXPECT_EQ(lList.GetZone(1)->m_nId, 2);
    EXPECT_EQ(lList.GetZone(2)->m_nId, 1);
}

TEST(RecordLists, BadIndexes) {
    TCardList lList;
    EXPECT_THROW(lList.GetCard(0), EAssertionFailed);
    EXPECT_THROW(lList.Delete(0), EListError);
    lList.Add(std::make_unique<TCard>());
    EXPECT_NO_THROW(lList.GetCard(0));
    EXPECT_THROW(lList.GetCard(-1), EAssertionFailed);
}

} // namespace
