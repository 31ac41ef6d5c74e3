// Serial-port names on the virtual bus: one number is one port however it is written.

#include "orvreader/src/uOrvBusFormat.h"

#include <gtest/gtest.h>

using namespace Orv;

TEST(OrvComNames, CanonicalFormIsCapitalPrefixAndPlainDecimal) {
    struct TCase {
        std::u16string sName, sCanonical;
    };
    const TCase lCases[] = {
        {u"COM3", u"COM3"},
        {u"com3", u"COM3"},
        {u"COM03", u"COM3"},
        {u"cOm0003", u"COM3"},
        {u"COM+3", u"COM3"},
        {u"COM0", u"COM0"},
        {u"COM00", u"COM0"},
        {u"COM-0", u"COM0"},
        {u"COM-05", u"COM-5"},
        {u"COM2147483647", u"COM2147483647"},
        {u"COM02147483647", u"COM2147483647"},
        {u"COM-2147483648", u"COM-2147483648"},
        // Not serial names: unchanged.
        {u"COM", u"COM"},
        {u"COM3a", u"COM3a"},
        {u"COM2147483648", u"COM2147483648"},
        {u"usb-03", u"usb-03"},
    };
    for (const TCase& c : lCases) {
        const std::u16string lCanonical = CanonicalPortName(c.sName);
        EXPECT_EQ(lCanonical, c.sCanonical) << Utf16ToUtf8(c.sName);
        EXPECT_EQ(IsComName(lCanonical), IsComName(c.sName)) << Utf16ToUtf8(c.sName);
        EXPECT_EQ(CanonicalPortName(lCanonical), lCanonical) << Utf16ToUtf8(c.sName);
    }
}
