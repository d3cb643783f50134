#include "kaacm_test_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

using namespace kaacm_test;

namespace {

TkaACMCalls real;
int enumerations = 0;
int closes = 0;
HACMDRIVERID refusedDetails = nullptr;
uint32_t reportedMaxSize = 0;
MMRESULT openResult = 0, enumResult = 0, closeResult = 0;
bool throwForeign = false;

MMRESULT CountingEnum(ACMDRIVERENUMCB cb, uintptr_t instance, uint32_t flags)
{
    ++enumerations;
    return real.DriverEnum(cb, instance, flags);
}

MMRESULT SelectiveDetails(HACMDRIVERID id, LPACMDRIVERDETAILSA details, uint32_t flags)
{
    if (throwForeign)
        throw std::runtime_error("not an engine error");
    if (id == refusedDetails)
        return MMSYSERR_INVALHANDLE;
    return real.DriverDetails(id, details, flags);
}

MMRESULT SmallMetrics(HACMOBJ obj, uint32_t metric, void* value)
{
    if (metric == ACM_METRIC_MAX_SIZE_FORMAT && reportedMaxSize) {
        std::memcpy(value, &reportedMaxSize, 4);
        return 0;
    }
    return real.Metrics(obj, metric, value);
}

MMRESULT FailingOpen(LPHACMDRIVER had, HACMDRIVERID id, uint32_t flags)
{
    return openResult ? openResult : real.DriverOpen(had, id, flags);
}

MMRESULT FailingFormatEnum(HACMDRIVER had, LPACMFORMATDETAILSA d, ACMFORMATENUMCBA cb, uintptr_t i,
                           uint32_t f)
{
    return enumResult ? enumResult : real.FormatEnum(had, d, cb, i, f);
}

MMRESULT CountingClose(HACMDRIVER had, uint32_t flags)
{
    ++closes;
    const MMRESULT r = real.DriverClose(had, flags);
    return closeResult ? closeResult : r;
}

int CollectIds(HACMDRIVERID id, uintptr_t instance, uint32_t)
{
    reinterpret_cast<std::vector<HACMDRIVERID>*>(instance)->push_back(id);
    return 1;
}

std::vector<HACMDRIVERID> DriverIds()
{
    std::vector<HACMDRIVERID> ids;
    acmDriverEnum(&CollectIds, reinterpret_cast<uintptr_t>(&ids), 0);
    return ids;
}

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest()
    {
        real = calls.Real();
        enumerations = closes = 0;
        refusedDetails = nullptr;
        reportedMaxSize = 0;
        openResult = enumResult = closeResult = 0;
        throwForeign = false;
        calls->DriverEnum = &CountingEnum;
        calls->DriverDetails = &SelectiveDetails;
        calls->Metrics = &SmallMetrics;
        calls->DriverOpen = &FailingOpen;
        calls->FormatEnum = &FailingFormatEnum;
        calls->DriverClose = &CountingClose;
        ReleaseCodecs();
    }
    ~RegistryTest() override { ReleaseCodecs(); }

    TCallsOverride calls;
};

std::string CodecError(HACMDRIVERID id)
{
    try {
        TkaCodec codec(id);
    } catch (const EACMCodecError& e) {
        return e.what();
    }
    return "<no exception>";
}

} // namespace

TEST_F(RegistryTest, BuiltOnFirstUseAndOnlyOnce)
{
    const int count = CodecCount();
    EXPECT_EQ(enumerations, 1);
    EXPECT_EQ(count, static_cast<int>(DriverIds().size()));
    EXPECT_GE(count, 1);
    EXPECT_EQ(CodecCount(), count);
    Codecs(0);
    EXPECT_EQ(enumerations, 1);
    RefreshCodecs();
    EXPECT_EQ(enumerations, 2);
    EXPECT_EQ(CodecCount(), count);
}

TEST_F(RegistryTest, ClearedRegistryStaysEmptyWithoutEnumerating)
{
    RefreshCodecs();
    ClearCodecs();
    EXPECT_EQ(CodecCount(), 0);
    EXPECT_EQ(enumerations, 1);
    EXPECT_THROW(Codecs(0), rtl::EAssertionFailed);
}

TEST_F(RegistryTest, CodecsDescribeTheirDriversAndFormats)
{
    const auto ids = DriverIds();
    ASSERT_EQ(CodecCount(), static_cast<int>(ids.size()));
    bool anyPcmFormat = false;
    for (int i = 0; i < CodecCount(); ++i) {
        const TkaCodec& c = Codecs(i);
        SCOPED_TRACE(c.ShortName());
        EXPECT_EQ(c.DriverId(), ids[static_cast<size_t>(i)]);
        EXPECT_FALSE(c.ShortName().empty());
        EXPECT_FALSE(c.LongName().empty());
        EXPECT_FALSE(c.DriverOpened()); // held open only while it was built
        EXPECT_GE(c.MaxFormatSize(), 18u);
        EXPECT_EQ(c.MaxExtraSize(), c.MaxFormatSize() - 18);
        EXPECT_FALSE(c.Formats().empty());
        for (const auto& f : c.Formats()) {
            ASSERT_EQ(f.Format.size(), c.MaxFormatSize());
            EXPECT_FALSE(f.Description.empty());
            EXPECT_LE(18u + f.WaveFormatEx()->cbSize, c.MaxFormatSize());
            anyPcmFormat |= f.WaveFormatEx()->wFormatTag == WAVE_FORMAT_PCM;
        }
        // Support mirrors the driver's flags.
        EXPECT_EQ(c.Support().count(CodecSupport::Codec) == 1,
                  (c.Details().fdwSupport & ACMDRIVERDETAILS_SUPPORTF_CODEC) != 0);
        EXPECT_EQ(c.Support().count(CodecSupport::Converter) == 1,
                  (c.Details().fdwSupport & ACMDRIVERDETAILS_SUPPORTF_CONVERTER) != 0);
    }
    EXPECT_TRUE(anyPcmFormat);
    EXPECT_EQ(closes, CodecCount()); // every driver opened was closed again
}

TEST_F(RegistryTest, DriverWithoutDetailsIsLeftOutAndTheRestRegistered)
{
    const auto ids = DriverIds();
    ASSERT_GE(ids.size(), 2u);
    refusedDetails = ids[0];
    ASSERT_EQ(CodecCount(), static_cast<int>(ids.size()) - 1);
    for (int i = 0; i < CodecCount(); ++i)
        EXPECT_NE(Codecs(i).DriverId(), ids[0]);
    EXPECT_EQ(CodecError(ids[0]), "Error retrieving driver details.\r\nThe specified handle is invalid.");
}

TEST_F(RegistryTest, MaximumFormatSizeBelowTheHeaderIsRaisedTo18)
{
    reportedMaxSize = 10;
    TkaCodec codec(DriverIds().at(0));
    EXPECT_EQ(codec.MaxFormatSize(), 18u);
    EXPECT_EQ(codec.MaxExtraSize(), 0u);
    for (const auto& f : codec.Formats())
        EXPECT_EQ(f.Format.size(), 18u);
}

TEST_F(RegistryTest, AbsurdMaximumFormatSizeIsCapped)
{
    reportedMaxSize = 0xFFFFFFF0u;
    TkaCodec codec(DriverIds().at(0));
    EXPECT_EQ(codec.MaxFormatSize(), 18u + 0xFFFF);
}

TEST_F(RegistryTest, FailuresNameTheirStep)
{
    const HACMDRIVERID id = DriverIds().at(0);
    openResult = MMSYSERR_ALLOCATED;
    EXPECT_EQ(CodecError(id), "Error opening driver.\r\nDevice already allocated.");
    EXPECT_EQ(closes, 0);
    openResult = 0;

    enumResult = MMSYSERR_NOMEM;
    EXPECT_EQ(CodecError(id),
              "Error while enumerating formats.\r\nThe system is unable to allocate resources.");
    EXPECT_EQ(closes, 1); // closed although the enumeration failed
    enumResult = 0;

    closeResult = MMSYSERR_INVALHANDLE;
    EXPECT_EQ(CodecError(id), "Error while closing driver.\r\nThe specified handle is invalid.");
}

TEST_F(RegistryTest, OnlyEngineErrorsAreSwallowedDuringTheRefresh)
{
    throwForeign = true;
    EXPECT_THROW(RefreshCodecs(), std::runtime_error);
    throwForeign = false;
    openResult = MMSYSERR_ALLOCATED;
    RefreshCodecs();
    EXPECT_EQ(CodecCount(), 0);
}
