#include "app/decoders/ioctl/IoctlHubCapFlags.h"

#include <iterator>

void IoctlHubCapFlagBits(IoctlFields& fields, ULONG flags) {
    static constexpr LPCSTR kBits[] = {"HubIsHighSpeedCapable", "HubIsHighSpeed", "HubIsMultiTtCapable",
                                       "HubIsMultiTt",          "HubIsRoot",      "HubIsArmedWakeOnConnect",
                                       "HubIsBusPowered"};
    for (ULONG bit = 0; bit < std::size(kBits); ++bit) {
        CString text;
        text.Format("%d", static_cast<int>((flags >> bit) & 1));
        fields.Field(kBits[bit], text);
    }
}
