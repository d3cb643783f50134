// The driver registry calls: enumeration, details, metrics, open/close and the formats
// each driver offers.

#include "platform/acm/AcmHandles.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

using namespace acm;

namespace {

void copyText(char* field, size_t size, const char* text)
{
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}

uint32_t priorityOf(const Driver* d)
{
    const auto& all = allDrivers();
    return uint32_t(std::find(all.begin(), all.end(), d) - all.begin()) + 1;
}

// True when format matches the restrictions of the ACM_FORMATENUMF_* flags.
bool passesEnumFilter(const WAVEFORMATEX& f, const WAVEFORMATEX& want, uint32_t flags)
{
    if ((flags & ACM_FORMATENUMF_WFORMATTAG) && f.wFormatTag != want.wFormatTag)
        return false;
    if ((flags & ACM_FORMATENUMF_NCHANNELS) && f.nChannels != want.nChannels)
        return false;
    if ((flags & ACM_FORMATENUMF_NSAMPLESPERSEC) && f.nSamplesPerSec != want.nSamplesPerSec)
        return false;
    if ((flags & ACM_FORMATENUMF_WBITSPERSAMPLE) && f.wBitsPerSample != want.wBitsPerSample)
        return false;
    if (flags & ACM_FORMATENUMF_HARDWARE)
        return false;
    if (flags & (ACM_FORMATENUMF_CONVERT | ACM_FORMATENUMF_SUGGEST)) {
        if (!hasSaneHeader(want))
            return false;
        const auto& all = allDrivers();
        return std::any_of(all.begin(), all.end(), [&](const Driver* d) { return d->canConvert(want, f); });
    }
    return true;
}

} // namespace

MMRESULT acmDriverEnum(ACMDRIVERENUMCB fnCallback, uintptr_t dwInstance, uint32_t fdwEnum)
{
    if (!fnCallback)
        return MMSYSERR_INVALPARAM;
    if (fdwEnum & ~(ACM_DRIVERENUMF_NOLOCAL | ACM_DRIVERENUMF_DISABLED))
        return MMSYSERR_INVALFLAG;
    // The callback may call back into the service, so the lock is not held around it.
    for (const Driver* d : allDrivers())
        if (!fnCallback(Handles::idOf(d), dwInstance, d->info().support))
            break;
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverDetailsA(HACMDRIVERID hadid, LPACMDRIVERDETAILSA padd, uint32_t fdwDetails)
{
    if (fdwDetails != 0)
        return MMSYSERR_INVALFLAG;
    if (!padd || padd->cbStruct < offsetof(ACMDRIVERDETAILSA, szShortName))
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    const Driver* d = Handles::instance().driverOf(reinterpret_cast<HACMOBJ>(hadid));
    if (!d)
        return MMSYSERR_INVALHANDLE;
    const DriverInfo& info = d->info();
    ACMDRIVERDETAILSA full{};
    full.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
    full.fccComp = ACMDRIVERDETAILS_FCCCOMP_UNDEFINED;
    full.wMid = 0xFFFF;
    full.wPid = info.productId;
    full.vdwACM = 0x04000000;
    full.vdwDriver = 0x01000000;
    full.fdwSupport = info.support;
    full.cFormatTags = info.formatTags;
    full.cFilterTags = 0;
    copyText(full.szShortName, sizeof full.szShortName, info.shortName);
    copyText(full.szLongName, sizeof full.szLongName, info.longName);
    copyText(full.szCopyright, sizeof full.szCopyright, info.copyright);
    copyText(full.szLicensing, sizeof full.szLicensing, info.licensing);
    copyText(full.szFeatures, sizeof full.szFeatures, info.features);
    // Fill as much as the caller's record holds, and say how much that was.
    full.cbStruct = std::min<uint32_t>(padd->cbStruct, sizeof full);
    std::memcpy(padd, &full, full.cbStruct);
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(LPHACMDRIVER phad, HACMDRIVERID hadid, uint32_t fdwOpen)
{
    if (fdwOpen != 0)
        return MMSYSERR_INVALFLAG;
    if (!phad)
        return MMSYSERR_INVALPARAM;
    *phad = nullptr;
    std::lock_guard guard(Handles::instance().lock());
    const Driver* d = Handles::instance().driverOfId(hadid);
    if (!d)
        return MMSYSERR_INVALHANDLE;
    *phad = Handles::instance().add(std::make_unique<OpenDriver>(OpenDriver{d}));
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER had, uint32_t fdwClose)
{
    if (fdwClose != 0)
        return MMSYSERR_INVALFLAG;
    std::lock_guard guard(Handles::instance().lock());
    if (!Handles::instance().driver(had))
        return MMSYSERR_INVALHANDLE;
    if (Handles::instance().streamsOpenOn(had))
        return ACMERR_BUSY;
    Handles::instance().remove(had);
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverID(HACMOBJ hao, HACMDRIVERID* phadid, uint32_t fdwDriverID)
{
    if (fdwDriverID != 0)
        return MMSYSERR_INVALFLAG;
    if (!phadid)
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    Handles& h = Handles::instance();
    const Driver* d = h.driverOf(hao);
    if (!d)
        if (const OpenStream* s = h.stream(reinterpret_cast<HACMSTREAM>(hao)))
            d = s->driver;
    if (!d)
        return MMSYSERR_INVALHANDLE;
    *phadid = Handles::idOf(d);
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatEnumA(HACMDRIVER had, LPACMFORMATDETAILSA pafd, ACMFORMATENUMCBA fnCallback,
                        uintptr_t dwInstance, uint32_t fdwEnum)
{
    constexpr uint32_t kKnown = 0x01FF0000;
    if (fdwEnum & ~kKnown)
        return MMSYSERR_INVALFLAG;
    if (!pafd || !fnCallback || pafd->cbStruct < ACMFORMATDETAILSA_SIZE_WIN32 || !pafd->pwfx ||
        pafd->cbwfx < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    // The restrictions, with their extra bytes, before the record is overwritten.
    std::vector<uint8_t> restriction(kMaxFormatBytes, 0);
    std::memcpy(restriction.data(), pafd->pwfx, std::min<size_t>(pafd->cbwfx, kMaxFormatBytes));
    auto& want = *reinterpret_cast<WAVEFORMATEX*>(restriction.data());
    if (18u + want.cbSize > std::min<size_t>(pafd->cbwfx, kMaxFormatBytes))
        want.cbSize = 0; // extra bytes the caller did not supply are not read
    if ((fdwEnum & ACM_FORMATENUMF_WFORMATTAG) && pafd->dwFormatTag != want.wFormatTag)
        return MMSYSERR_INVALPARAM;
    std::vector<const Driver*> drivers;
    {
        std::lock_guard guard(Handles::instance().lock());
        if (had) {
            const OpenDriver* d = Handles::instance().driver(had);
            if (!d)
                return MMSYSERR_INVALHANDLE;
            drivers = {d->driver};
        } else {
            drivers = allDrivers();
        }
    }
    const size_t textRoom =
        std::min<size_t>(pafd->cbStruct - offsetof(ACMFORMATDETAILSA, szFormat), sizeof pafd->szFormat);
    for (const Driver* d : drivers) {
        const std::vector<OfferedFormat> list = d->formats();
        for (size_t i = 0; i < list.size(); ++i) {
            const OfferedFormat& f = list[i];
            const auto& head = *reinterpret_cast<const WAVEFORMATEX*>(f.record.data());
            if (f.record.size() > pafd->cbwfx || !passesEnumFilter(head, want, fdwEnum))
                continue;
            pafd->dwFormatIndex = uint32_t(i);
            pafd->dwFormatTag = head.wFormatTag;
            pafd->fdwSupport = d->info().support;
            std::memcpy(pafd->pwfx, f.record.data(), f.record.size());
            copyText(pafd->szFormat, textRoom, f.description.c_str());
            if (!fnCallback(Handles::idOf(d), pafd, dwInstance, d->info().support))
                return MMSYSERR_NOERROR;
        }
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmMetrics(HACMOBJ hao, uint32_t uMetric, void* pMetric)
{
    if (!pMetric)
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    const auto& all = allDrivers();
    auto put = [&](uint32_t v) {
        std::memcpy(pMetric, &v, sizeof v);
        return MMSYSERR_NOERROR;
    };
    auto count = [&](uint32_t flag) {
        return uint32_t(std::count_if(all.begin(), all.end(), [&](const Driver* d) {
            return flag == 0 || (d->info().support & flag);
        }));
    };
    const Driver* d = hao ? Handles::instance().driverOf(hao) : nullptr;
    if (hao && !d)
        return MMSYSERR_INVALHANDLE;
    switch (uMetric) {
    case ACM_METRIC_COUNT_DRIVERS:
        return hao ? MMSYSERR_INVALHANDLE : put(count(0));
    case ACM_METRIC_COUNT_CODECS:
        return hao ? MMSYSERR_INVALHANDLE : put(count(ACMDRIVERDETAILS_SUPPORTF_CODEC));
    case ACM_METRIC_COUNT_CONVERTERS:
        return hao ? MMSYSERR_INVALHANDLE : put(count(ACMDRIVERDETAILS_SUPPORTF_CONVERTER));
    case ACM_METRIC_COUNT_FILTERS:
    case ACM_METRIC_COUNT_DISABLED:
    case ACM_METRIC_COUNT_HARDWARE:
        return hao ? MMSYSERR_INVALHANDLE : put(0);
    case ACM_METRIC_MAX_SIZE_FORMAT: {
        if (d)
            return put(d->maxFormatSize());
        uint32_t largest = 0;
        for (const Driver* each : all)
            largest = std::max(largest, each->maxFormatSize());
        return put(largest);
    }
    case ACM_METRIC_MAX_SIZE_FILTER:
        return put(0);
    case ACM_METRIC_DRIVER_SUPPORT:
        return d ? put(d->info().support) : MMSYSERR_INVALHANDLE;
    case ACM_METRIC_DRIVER_PRIORITY:
        return d ? put(priorityOf(d)) : MMSYSERR_INVALHANDLE;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}
