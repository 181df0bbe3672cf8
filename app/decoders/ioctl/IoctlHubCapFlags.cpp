#include "app/decoders/ioctl/IoctlHubCapFlags.h"

#include <iterator>

void IoctlHubCapFlagBits(FieldWriter& fields, ULONG flags) {
    static constexpr LPCSTR kBits[] = {"HubIsHighSpeedCapable", "HubIsHighSpeed", "HubIsMultiTtCapable",
                                       "HubIsMultiTt",          "HubIsRoot",      "HubIsArmedWakeOnConnect",
                                       "HubIsBusPowered"};
    for (ULONG bit = 0; bit < std::size(kBits); ++bit)
        fields.Field(kBits[bit], FieldBitText(flags, bit));
}
