// The simulated PC's fault script: a fault names a hook and is consumed by the
// end of the test, or the test fails saying which fault.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "SimTest.h"
#include "platform/sim/SimFaults.h"

namespace {

using plat::SimFaults;

// The fixture's own set-up and tear-down, driven by hand so that the failures
// it reports can be caught.
class FixtureProbe : public SimTest {
public:
    void TestBody() override {}
    using SimTest::Pc;
    using SimTest::SetUp;
    using SimTest::TearDown;
};

TEST(SimFaults, HooksAreKnownByNameAndOpcodeFamilies) {
    EXPECT_TRUE(SimFaults::IsHook("WlanHostedNetworkForceStart"));
    EXPECT_TRUE(SimFaults::IsHook("WlanQueryInterface#15"));
    EXPECT_FALSE(SimFaults::IsHook("WlanQueryInterface#"));
    EXPECT_FALSE(SimFaults::IsHook("WlanQueryInterface#x"));
    EXPECT_FALSE(SimFaults::IsHook("WlanOpenHandle#2"));
    EXPECT_FALSE(SimFaults::IsHook("WlanHostedNetworkForcestart"));
}

TEST(SimFaults, ConsumedFaultsLeaveNoProblem) {
    SimFaults faults;
    faults.FailNext("WlanOpenHandle", 5, 2);
    faults.FailAlways("GetIfEntry", 50);
    faults.FailNext("EnumDevice", 1);
    faults.Clear("EnumDevice");
    EXPECT_EQ(faults.Take("WlanOpenHandle"), 5);
    EXPECT_EQ(faults.Take("WlanOpenHandle"), 5);
    EXPECT_EQ(faults.Take("WlanOpenHandle"), std::nullopt);
    EXPECT_EQ(faults.Take("GetIfEntry"), 50);
    EXPECT_EQ(faults.Take("GetIfEntry"), 50);
    EXPECT_TRUE(faults.Problems().empty());
}

TEST(SimFaults, NamesEveryFaultThatIsWrongOrLeftOver) {
    SimFaults faults;
    faults.FailNext("WlanHostedNetworkForcestart", 5023);
    faults.FailNext("WlanOpenHandle", 5, 3);
    faults.FailAlways("GetIfEntry", 50);
    faults.Take("WlanOpenHandle");
    faults.Take("SomethingNew");
    const std::vector<std::string> problems = faults.Problems();
    const std::vector<std::string> expected = {
        "FailNext(\"WlanHostedNetworkForcestart\", 5023) names no hook of the simulated PC",
        "the simulated PC takes the hook \"SomethingNew\", which is not declared in SimFaults "
        "(add it to the list of hooks in SimFaults.cpp)",
        "FailNext(\"WlanOpenHandle\") was not consumed: no call took 5, 5",
        "FailAlways(\"GetIfEntry\", 50) was never consumed",
    };
    EXPECT_EQ(problems, expected);
}

TEST(SimFaults, TheFixtureFailsATestWhoseFaultNoCallTook) {
    FixtureProbe probe;
    probe.SetUp();
    probe.Pc().faults.FailNext("WlanOpenHandle", 5);
    EXPECT_NONFATAL_FAILURE(probe.TearDown(),
                            "fault script: FailNext(\"WlanOpenHandle\") was not consumed");
}

TEST(SimFaults, TheFixtureFailsATestWhoseFaultNamesNoHook) {
    FixtureProbe probe;
    probe.SetUp();
    probe.Pc().faults.FailAlways("WlanOpenHandel", 5);
    EXPECT_NONFATAL_FAILURE(probe.TearDown(), "\"WlanOpenHandel\", 5) names no hook");
}

}  // namespace
