// The driver registry calls: enumeration with details, metrics, open/close and the
// formats each driver offers.

#include "acm_helpers.h"

#include <set>

using namespace acmtest;

namespace {

struct Found {
    HACMDRIVERID id;
    uint32_t support;
};

std::vector<Found> drivers()
{
    std::vector<Found> list;
    EXPECT_EQ(acmDriverEnum(
                  [](HACMDRIVERID id, uintptr_t inst, uint32_t support) -> int {
                      reinterpret_cast<std::vector<Found>*>(inst)->push_back({id, support});
                      return 1;
                  },
                  reinterpret_cast<uintptr_t>(&list), 0),
              MMSYSERR_NOERROR);
    return list;
}

struct Listed {
    std::vector<std::vector<uint8_t>> formats;
    std::vector<std::string> texts;
};

int collect(HACMDRIVERID, LPACMFORMATDETAILSA d, uintptr_t inst, uint32_t)
{
    auto* l = reinterpret_cast<Listed*>(inst);
    const auto* b = reinterpret_cast<const uint8_t*>(d->pwfx);
    l->formats.emplace_back(b, b + 18 + d->pwfx->cbSize);
    l->texts.emplace_back(d->szFormat);
    EXPECT_EQ(d->dwFormatTag, d->pwfx->wFormatTag);
    return 1;
}

} // namespace

TEST(AcmRegistry, EnumeratesEveryDriverWithItsDetails)
{
    const auto list = drivers();
    ASSERT_EQ(list.size(), 6u);
    uint32_t count = 0;
    EXPECT_EQ(acmMetrics(HACMOBJ(nullptr), ACM_METRIC_COUNT_DRIVERS, &count), 0u);
    EXPECT_EQ(count, 6u);
    std::set<std::string> names;
    std::set<uint32_t> priorities;
    for (const Found& f : list) {
        ACMDRIVERDETAILSA d{};
        d.cbStruct = ACMDRIVERDETAILSA_SIZE_WIN32; // the engine's record size
        ASSERT_EQ(acmDriverDetailsA(f.id, &d, 0), 0u);
        EXPECT_EQ(d.cbStruct, ACMDRIVERDETAILSA_SIZE_WIN32);
        EXPECT_EQ(d.fccType, ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC);
        EXPECT_EQ(d.fdwSupport, f.support);
        EXPECT_GT(d.cFormatTags, 0u);
        EXPECT_GT(std::strlen(d.szShortName), 0u);
        EXPECT_LT(std::strlen(d.szShortName), size_t(ACMDRIVERDETAILS_SHORTNAME_CHARS));
        EXPECT_GT(std::strlen(d.szLongName), 0u);
        EXPECT_GT(std::strlen(d.szCopyright), 0u);
        EXPECT_GT(std::strlen(d.szLicensing), 0u);
        EXPECT_GT(std::strlen(d.szFeatures), 0u);
        names.insert(d.szShortName);
        uint32_t priority = 0, maxSize = 0;
        ASSERT_EQ(acmMetrics(f.id, ACM_METRIC_DRIVER_PRIORITY, &priority), 0u);
        priorities.insert(priority);
        HACMDRIVER had = nullptr;
        ASSERT_EQ(acmDriverOpen(&had, f.id, 0), 0u);
        ASSERT_EQ(acmMetrics(had, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize), 0u);
        EXPECT_GE(maxSize, 18u);
        // Every offered format fits the largest size and converts to or from PCM.
        std::vector<uint8_t> work(maxSize, 0);
        ACMFORMATDETAILSA fd{};
        fd.cbStruct = ACMFORMATDETAILSA_SIZE_WIN32;
        fd.pwfx = reinterpret_cast<WAVEFORMATEX*>(work.data());
        fd.cbwfx = maxSize;
        fd.pwfx->cbSize = uint16_t(maxSize - 18);
        Listed l;
        ASSERT_EQ(acmFormatEnumA(had, &fd, collect, reinterpret_cast<uintptr_t>(&l), 0), 0u);
        EXPECT_FALSE(l.formats.empty()) << d.szShortName;
        for (size_t i = 0; i < l.formats.size(); ++i) {
            EXPECT_LE(l.formats[i].size(), maxSize);
            EXPECT_FALSE(l.texts[i].empty());
            auto* wfx = reinterpret_cast<WAVEFORMATEX*>(l.formats[i].data());
            std::vector<uint8_t> out(512, 0);
            auto* natural = reinterpret_cast<WAVEFORMATEX*>(out.data());
            natural->wFormatTag = WAVE_FORMAT_PCM;
            ASSERT_EQ(acmFormatSuggest(nullptr, wfx, natural, 512, ACM_FORMATSUGGESTF_WFORMATTAG), 0u) << l.texts[i];
            EXPECT_EQ(acmStreamOpen(nullptr, had, wfx, natural, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), 0u)
                << l.texts[i];
        }
        EXPECT_EQ(acmDriverClose(had, 0), 0u);
    }
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(priorities, (std::set<uint32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(AcmRegistry, FormatListingHonoursItsRestrictions)
{
    std::vector<uint8_t> work(512, 0);
    ACMFORMATDETAILSA fd{};
    fd.cbStruct = sizeof fd;
    fd.pwfx = reinterpret_cast<WAVEFORMATEX*>(work.data());
    fd.cbwfx = 512;
    fd.pwfx->wFormatTag = WAVE_FORMAT_MULAW;
    fd.dwFormatTag = WAVE_FORMAT_MULAW;
    Listed l;
    ASSERT_EQ(acmFormatEnumA(nullptr, &fd, collect, reinterpret_cast<uintptr_t>(&l), ACM_FORMATENUMF_WFORMATTAG), 0u);
    ASSERT_FALSE(l.formats.empty());
    for (auto& f : l.formats)
        EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(f.data())->wFormatTag, WAVE_FORMAT_MULAW);
    // Formats a given source converts to: for mu-law 8 kHz mono only its natural PCM.
    *fd.pwfx = WAVEFORMATEX{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0};
    Listed c;
    ASSERT_EQ(acmFormatEnumA(nullptr, &fd, collect, reinterpret_cast<uintptr_t>(&c), ACM_FORMATENUMF_CONVERT), 0u);
    ASSERT_EQ(c.formats.size(), 1u);
    EXPECT_EQ(std::memcmp(c.formats[0].data(), &(const WAVEFORMATEX&)pcm(1, 8000, 16), 18), 0);
    // A callback that stops ends the listing.
    int calls = 0;
    fd.pwfx->wFormatTag = 0;
    ASSERT_EQ(acmFormatEnumA(
                  nullptr, &fd,
                  [](HACMDRIVERID, LPACMFORMATDETAILSA, uintptr_t inst, uint32_t) -> int {
                      ++*reinterpret_cast<int*>(inst);
                      return 0;
                  },
                  reinterpret_cast<uintptr_t>(&calls), 0),
              0u);
    EXPECT_EQ(calls, 1);
    // Bad arguments.
    EXPECT_EQ(acmFormatEnumA(nullptr, nullptr, collect, 0, 0), MMSYSERR_INVALPARAM);
    fd.cbwfx = 10;
    EXPECT_EQ(acmFormatEnumA(nullptr, &fd, collect, 0, 0), MMSYSERR_INVALPARAM);
    fd.cbwfx = 512;
    EXPECT_EQ(acmFormatEnumA(reinterpret_cast<HACMDRIVER>(0x99), &fd, collect, 0, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmFormatEnumA(nullptr, &fd, collect, 0, 0x2), MMSYSERR_INVALFLAG);
}

TEST(AcmRegistry, BadHandlesAndArgumentsGetResultCodes)
{
    ACMDRIVERDETAILSA d{};
    d.cbStruct = sizeof d;
    EXPECT_EQ(acmDriverDetailsA(reinterpret_cast<HACMDRIVERID>(0x1234), &d, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmDriverDetailsA(drivers()[0].id, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmDriverDetailsA(drivers()[0].id, &d, 1), MMSYSERR_INVALFLAG);
    // A short record is filled only as far as it reaches.
    ACMDRIVERDETAILSA shortRecord{};
    std::memset(&shortRecord, 0x5A, sizeof shortRecord);
    shortRecord.cbStruct = uint32_t(offsetof(ACMDRIVERDETAILSA, szLongName));
    ASSERT_EQ(acmDriverDetailsA(drivers()[0].id, &shortRecord, 0), 0u);
    EXPECT_EQ(shortRecord.szLongName[0], 0x5A);
    HACMDRIVER had = nullptr;
    EXPECT_EQ(acmDriverOpen(&had, reinterpret_cast<HACMDRIVERID>(0x1234), 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(had, nullptr);
    EXPECT_EQ(acmDriverOpen(nullptr, drivers()[0].id, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmDriverClose(reinterpret_cast<HACMDRIVER>(0x1234), 0), MMSYSERR_INVALHANDLE);
    uint32_t v = 0;
    EXPECT_EQ(acmMetrics(reinterpret_cast<HACMOBJ>(0x1234), ACM_METRIC_DRIVER_PRIORITY, &v), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmMetrics(drivers()[0].id, ACM_METRIC_DRIVER_PRIORITY, nullptr), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmMetrics(drivers()[0].id, 9999, &v), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(acmMetrics(HACMOBJ(nullptr), ACM_METRIC_MAX_SIZE_FORMAT, &v), 0u);
    EXPECT_GE(v, sizeof(ADPCMWAVEFORMAT));
    EXPECT_EQ(acmDriverEnum(nullptr, 0, 0), MMSYSERR_INVALPARAM);
    int calls = 0;
    EXPECT_EQ(acmDriverEnum(
                  [](HACMDRIVERID, uintptr_t inst, uint32_t) -> int {
                      ++*reinterpret_cast<int*>(inst);
                      return 0;
                  },
                  reinterpret_cast<uintptr_t>(&calls), 0),
              0u);
    EXPECT_EQ(calls, 1);
}
