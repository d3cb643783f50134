// acmFormatSuggest and the acmStream* calls: synchronous conversion streams over the
// drivers of this folder.

#include "platform/acm/AcmHandles.h"

#include <cstring>

using namespace acm;

namespace {

// The drivers a call may use: the one behind `had`, or all of them when had is null.
bool driversFor(HACMDRIVER had, std::vector<const Driver*>& out, HACMDRIVER& through)
{
    through = nullptr;
    if (!had) {
        out = allDrivers();
        return true;
    }
    OpenDriver* d = Handles::instance().driver(had);
    if (!d)
        return false;
    out = {d->driver};
    through = had;
    return true;
}

bool validHeaderSize(const ACMSTREAMHEADER* h)
{
    return knownSize<ACMSTREAMHEADER>(h->cbStruct, ACMSTREAMHEADER_SIZE_WIN32);
}

} // namespace

MMRESULT acmFormatSuggest(HACMDRIVER had, WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst, uint32_t cbwfxDst,
                          uint32_t fdwSuggest)
{
    if (!pwfxSrc || !pwfxDst || cbwfxDst < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    if (fdwSuggest & ~ACM_FORMATSUGGESTF_TYPEMASK)
        return MMSYSERR_INVALFLAG;
    std::lock_guard guard(Handles::instance().lock());
    std::vector<const Driver*> drivers;
    HACMDRIVER through;
    if (!driversFor(had, drivers, through))
        return MMSYSERR_INVALHANDLE;
    if (!hasSaneHeader(*pwfxSrc))
        return ACMERR_NOTPOSSIBLE;
    const WAVEFORMATEX want = *pwfxDst;
    for (const Driver* d : drivers) {
        const std::vector<uint8_t> record = d->suggest(*pwfxSrc, want, fdwSuggest);
        if (record.empty() || !meetsSuggestFlags(record, want, fdwSuggest))
            continue;
        if (record.size() > cbwfxDst)
            return ACMERR_NOTPOSSIBLE;
        std::memcpy(pwfxDst, record.data(), record.size());
        return MMSYSERR_NOERROR;
    }
    return ACMERR_NOTPOSSIBLE;
}

MMRESULT acmStreamOpen(LPHACMSTREAM phas, HACMDRIVER had, WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst,
                       WAVEFILTER* pwfltr, uintptr_t, uintptr_t, uint32_t fdwOpen)
{
    constexpr uint32_t kCallbackTypes = 0x00070000;
    const bool query = fdwOpen & ACM_STREAMOPENF_QUERY;
    if (fdwOpen & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME | kCallbackTypes))
        return MMSYSERR_INVALFLAG;
    if (!pwfxSrc || !pwfxDst || (!query && !phas))
        return MMSYSERR_INVALPARAM;
    if (pwfltr || (fdwOpen & ACM_STREAMOPENF_ASYNC))
        return MMSYSERR_NOTSUPPORTED; // filters and asynchronous streams are not offered
    if (phas && !query)
        *phas = nullptr;
    std::lock_guard guard(Handles::instance().lock());
    std::vector<const Driver*> drivers;
    HACMDRIVER through;
    if (!driversFor(had, drivers, through))
        return MMSYSERR_INVALHANDLE;
    // Formats that make no sense are refused before any driver divides by their fields.
    if (!hasSaneHeader(*pwfxSrc) || !hasSaneHeader(*pwfxDst))
        return ACMERR_NOTPOSSIBLE;
    for (const Driver* d : drivers) {
        if (!d->canConvert(*pwfxSrc, *pwfxDst))
            continue;
        if (query)
            return MMSYSERR_NOERROR;
        auto codec = d->open(*pwfxSrc, *pwfxDst);
        if (!codec)
            return MMSYSERR_NOMEM;
        *phas = Handles::instance().add(std::make_unique<OpenStream>(OpenStream{d, through, std::move(codec), {}}));
        return MMSYSERR_NOERROR;
    }
    return ACMERR_NOTPOSSIBLE;
}

MMRESULT acmStreamClose(HACMSTREAM has, uint32_t fdwClose)
{
    if (fdwClose != 0)
        return MMSYSERR_INVALFLAG;
    std::lock_guard guard(Handles::instance().lock());
    if (!Handles::instance().stream(has))
        return MMSYSERR_INVALHANDLE;
    Handles::instance().remove(has);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM has, uint32_t cbInput, uint32_t* pdwOutputBytes, uint32_t fdwSize)
{
    if (fdwSize & ~ACM_STREAMSIZEF_QUERYMASK)
        return MMSYSERR_INVALFLAG;
    if (!pdwOutputBytes)
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    OpenStream* s = Handles::instance().stream(has);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    switch (fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE:
        *pdwOutputBytes = s->codec->destBytesFor(cbInput);
        break;
    case ACM_STREAMSIZEF_DESTINATION:
        *pdwOutputBytes = s->codec->srcBytesFor(cbInput);
        break;
    default:
        return MMSYSERR_INVALFLAG;
    }
    // Less than one whole block: nothing can be converted yet.
    return *pdwOutputBytes == 0 ? ACMERR_NOTPOSSIBLE : MMSYSERR_NOERROR;
}

MMRESULT acmStreamReset(HACMSTREAM has, uint32_t fdwReset)
{
    if (fdwReset != 0)
        return MMSYSERR_INVALFLAG;
    std::lock_guard guard(Handles::instance().lock());
    // Streams are synchronous: no conversion is ever pending, so there is nothing to stop.
    return Handles::instance().stream(has) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t fdwPrepare)
{
    if (fdwPrepare != 0)
        return MMSYSERR_INVALFLAG;
    if (!pash || !validHeaderSize(pash) || !pash->pbSrc || !pash->pbDst || pash->cbSrcLength == 0 ||
        pash->cbDstLength == 0)
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    OpenStream* s = Handles::instance().stream(has);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if ((pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) && s->prepared.count(pash))
        return MMSYSERR_NOERROR;
    s->prepared[pash] = {pash->pbSrc, pash->cbSrcLength, pash->pbDst, pash->cbDstLength};
    pash->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t fdwUnprepare)
{
    if (fdwUnprepare != 0)
        return MMSYSERR_INVALFLAG;
    if (!pash || !validHeaderSize(pash))
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    OpenStream* s = Handles::instance().stream(has);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if (!s->prepared.erase(pash))
        return ACMERR_UNPREPARED;
    pash->fdwStatus &= ~(ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER pash, uint32_t fdwConvert)
{
    if (fdwConvert & ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END))
        return MMSYSERR_INVALFLAG;
    if (!pash || !validHeaderSize(pash))
        return MMSYSERR_INVALPARAM;
    std::lock_guard guard(Handles::instance().lock());
    OpenStream* s = Handles::instance().stream(has);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    const auto it = s->prepared.find(pash);
    if (it == s->prepared.end() || !(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED))
        return ACMERR_UNPREPARED;
    // The buffers must be the prepared ones, used no further than prepared.
    const PreparedHeader& p = it->second;
    if (pash->pbSrc != p.src || pash->pbDst != p.dst || pash->cbSrcLength > p.srcLength ||
        pash->cbDstLength > p.dstLength)
        return MMSYSERR_INVALPARAM;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    uint32_t used = 0, produced = 0;
    // Conversion is always block-aligned: a source block is never split between calls.
    const MMRESULT r = s->codec->convert(pash->pbSrc, pash->cbSrcLength, pash->pbDst, pash->cbDstLength, used,
                                         produced);
    pash->cbSrcLengthUsed = used;
    pash->cbDstLengthUsed = produced;
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return r;
}
