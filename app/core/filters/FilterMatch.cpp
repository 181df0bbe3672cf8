#include "app/core/filters/FilterMatch.h"

#include "common/RecordPayloads.h"
#include "common/RecordTags.h"

namespace {

// Direction of a data-transfer URB record as the filter reads it; false when the record does not say.
bool DirectionForMatch(const CLogRecordDecode& record, ULONG function, UINT schema, bool& in) {
    const ULONG tag = record.GetLogType();
    if (tag == LogTag::urbR) {
        // Header only: control transfers keep the setup packet's request type in the function word.
        if (function != 8 && function != 50)
            return false;
        in = (record.GetFunctionWord() >> 16) & URB_RECORD_ENDPOINT_DIR_IN;
        return true;
    }
    if (function == 50 && (tag == LogTag::urbI || tag == LogTag::urbC)) {
        UCHAR bmRequestType = 0;
        if (!record.ReadPayload(URB_RECORD_SETUP_EX_OFFSET, bmRequestType))
            return false;
        in = (bmRequestType & 0x80) != 0;
        return true;
    }
    if (!record.TryGetDirectionIn(in))
        return false;
    (void)schema; // every schema keeps the pipe block where the direction reader looks
    return true;
}

} // namespace

bool FilterFamilyOfTag(ULONG tag, FilterFamily& family, FilterPhase& phase) {
    if (tag == LogTag::iCnt || tag == LogTag::cCnt) {
        family = FilterFamily::Urb; // a continuation is tested like the record it continues
        phase = tag == LogTag::iCnt ? FilterPhase::Request : FilterPhase::Completion;
        return true;
    }
    const ULONG kind = LogTag::KindOf(tag);
    const char letter = LogTag::PhaseOf(tag);
    if (kind == LogTag::KindUrb)
        family = FilterFamily::Urb;
    else if (kind == LogTag::KindUin)
        family = FilterFamily::Internal;
    else if (kind == LogTag::KindHcd)
        family = FilterFamily::Hcd;
    else if (kind == LogTag::KindHub)
        family = FilterFamily::Hub;
    else if (kind == LogTag::KindHid)
        family = FilterFamily::Hid;
    else if (kind == LogTag::KindPnp)
        family = FilterFamily::Pnp;
    else if (kind == LogTag::KindPow)
        family = FilterFamily::Power;
    else if (kind == LogTag::KindBuh)
        family = FilterFamily::HubInterface;
    else if (kind == LogTag::KindKhp)
        family = FilterFamily::PortHook;
    else
        return false;
    // Hub-interface and port-hook calls have no returned phase.
    const bool hasReturn = family != FilterFamily::HubInterface && family != FilterFamily::PortHook;
    if (letter == 'I' || (letter == 'R' && hasReturn))
        phase = FilterPhase::Request;
    else if (letter == 'C')
        phase = FilterPhase::Completion;
    else
        return false;
    return true;
}

bool FilterMatchRecord(const FILTER_BLOCK& block, const CLogRecordDecode& record, UINT schema) {
    if (!record.HasRecord())
        return false;
    if (!FilterStatusPasses(block, record.GetStatus(), FilterStatusRule::Application))
        return false;
    FilterFamily family;
    FilterPhase phase;
    if (!FilterFamilyOfTag(record.GetLogType(), family, phase) || !FilterPhaseEnabled(block, family, phase))
        return false;
    if (family != FilterFamily::Urb)
        return FilterCodeEnabled(block, family, record.GetFunctionWord());

    const ULONG function = record.GetFunctionCode();
    if (!FilterCodeEnabled(block, FilterFamily::Urb, function))
        return false;
    if (!FilterIsDataTransfer(function) || FilterAcceptsBothDirections(block))
        return true;
    bool in = false;
    return DirectionForMatch(record, function, schema, in) && FilterDirectionPasses(block, in);
}
