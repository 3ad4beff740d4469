// Model catalogue, packages and configuration read-outs.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "models/catalogue.h"
#include "streams/store.h"
#include "zpk/zpk.h"

namespace {

TEST(Catalogue, CodesAscendingAndUnique) {
    const auto all = zpk::models::all();
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].code, all[i].code);
    EXPECT_EQ(getMDnr(), static_cast<int>(all.size()));
    for (int i = 1; i <= getMDnr(); ++i) EXPECT_EQ(zpk::models::find(getMDC(i)), &all[i - 1]);
}

TEST(Catalogue, EveryModelTheFixtureSetsIsAccepted) {
    // (property, phase, model) of the battery's model sets and hydrate/solid set-ups.
    const int fluids[] = {1, 30, 31, 50, 51, 55, 56, 57, 60, 61, 62, 65, 66, 67, 70, 71, 72, 81, 91, 111, 115, 116, 300, 315};
    for (int m : fluids)
        for (int p = 1; p <= 4; ++p)
            for (int ph = 0; ph <= 1; ++ph) EXPECT_EQ(getMDP(m, p, ph), 1) << m << " " << p << " " << ph;
    for (int m : {10, 11, 12, 130}) {
        EXPECT_EQ(getMDP(m, 1, 1), 1);
        EXPECT_EQ(getMDP(m, 1, 0), 0);
        EXPECT_EQ(getMDP(m, 4, 1), 0);
    }
    for (int p = 1; p <= 4; ++p) {
        EXPECT_EQ(getMDP(1, p, 2), 1);
        for (int m : {150, 151, 153}) EXPECT_EQ(getMDP(m, p, 2), 1);
        for (int m : {170, 171}) EXPECT_EQ(getMDP(m, p, 3), 1);
    }
    EXPECT_EQ(getMDP(170, 1, 0), 0);
    EXPECT_EQ(getMDP(9999, 1, 0), 0);
}

TEST(Catalogue, NamesUsedInMessages) {
    EXPECT_STREQ(getMDN(1), "Regular");
    EXPECT_STREQ(getMDN(30), "SRK VDW");
    EXPECT_STREQ(getMDN(50), "PR VDW");
    EXPECT_STREQ(getMDN(51), "PRX VDW");
    EXPECT_STREQ(getMDN(170), "HPRCPANHV_M");
    EXPECT_EQ(getMDN(2), nullptr);
    EXPECT_EQ(getMDBnr(11, 1), 3);
    EXPECT_STREQ(getMDBN(11, 1, 2), "alpha");
    EXPECT_EQ(getMDBN(11, 1, 3), nullptr);
}

TEST(Packages, PredefinedAreReadOnlyUserPackagesApply) {
    const int predefined = getPKdnr();
    ASSERT_GT(predefined, 0);
    ASSERT_GT(getPKnr(), predefined);
    EXPECT_STREQ(getPKN(6), "SRK");
    EXPECT_EQ(putPKN(6, const_cast<char*>("mine")), 0);
    EXPECT_EQ(putPKM(6, 1, 0, 50), 0);

    const int user = predefined + 1;
    ASSERT_EQ(putPKN(user, const_cast<char*>("Wilson SRK")), 1);
    ASSERT_EQ(putPKM(user, 1, 1, 10), 1);
    ASSERT_EQ(putPKM(user, 1, 0, 30), 1);
    EXPECT_EQ(putPKM(user, 2, 1, 10), 0) << "the catalogue applies to packages too";
    ASSERT_EQ(putPKS(user, 1, 1), 1);
    ASSERT_EQ(putPKS(user, 2, 0), 1);
    EXPECT_EQ(putPKS(user, 2, 7), 0);
    EXPECT_STREQ(getPKN(user), "Wilson SRK");
    EXPECT_EQ(getPKM(user, 1, 1), 10);

    initS(1);
    ASSERT_EQ(setPK(1, user), 1);
    EXPECT_EQ(getMP(1, 1, 1), 10);
    EXPECT_EQ(getMP(1, 1, 0), 30);
    EXPECT_EQ(getKO(1), 1);
    ASSERT_EQ(setPK(1, 7), 1);
    EXPECT_EQ(getMP(1, 1, 1), 50);
    EXPECT_EQ(setPK(1, 0), 0);
    EXPECT_EQ(setPK(0, 1), 0);
}

TEST(Configuration, CapacitiesAndConstants) {
    EXPECT_EQ(CFGInt(1), getMSNr());
    EXPECT_EQ(CFGInt(2), zpk::streams::kBlockSize);
    EXPECT_EQ(CFGInt(4), 50);
    EXPECT_EQ(CFGInt(6), getMCNr());
    EXPECT_EQ(CFGInt(7), getMBPNr());
    EXPECT_EQ(CFGInt(0), 0);
    EXPECT_DOUBLE_EQ(CFGReal(1), 8.314462618);
    EXPECT_TRUE(std::isnan(CFGReal(99)));
    EXPECT_GE(getMFCNr(), getMSNr() + 1);
}

}  // namespace
