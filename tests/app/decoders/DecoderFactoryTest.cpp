// The decoder factory: which class each tag gets, by exact match of all four characters.
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <typeinfo>

#include <gtest/gtest.h>

#include "app/decoders/framework/IoctlOutputer.h"
#include "app/decoders/framework/PnpOutputer.h"
#include "app/decoders/framework/PowerOutputer.h"
#include "app/decoders/ioctl/HcdIoctlOutputer.h"
#include "app/decoders/ioctl/HidIoctlOutputer.h"
#include "app/decoders/ioctl/HubIoctlOutputer.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/UsbintOutputer.h"
#include "app/decoders/ioctl/UsbportHkOutputer.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

TEST(DecoderFactoryTest, EachTagGetsItsDecoder) {
    struct Case {
        const char tag[5];
        std::type_index decoder;
    } cases[] = {
        {"ctlI", typeid(IoctlOutputer)},
        {"ctlR", typeid(IoctlOutputer)},
        {"ctlC", typeid(IoctlOutputer)},
        {"intI", typeid(InternOutputer)},
        {"intR", typeid(InternOutputer)},
        {"intC", typeid(InternOutputer)},
        {"pnpI", typeid(PnpOutputer)},
        {"pnpR", typeid(PnpOutputer)},
        {"pnpC", typeid(PnpOutputer)},
        {"powI", typeid(PowerOutputer)},
        {"powR", typeid(PowerOutputer)},
        {"powC", typeid(PowerOutputer)},
        {"hcdI", typeid(HcdIoctlOutputer)},
        {"hcdR", typeid(HcdIoctlOutputer)},
        {"hcdC", typeid(HcdIoctlOutputer)},
        {"hidI", typeid(HidIoctlOutputer)},
        {"hidR", typeid(HidIoctlOutputer)},
        {"hidC", typeid(HidIoctlOutputer)},
        {"hubI", typeid(HubIoctlOutputer)},
        {"hubR", typeid(HubIoctlOutputer)},
        {"hubC", typeid(HubIoctlOutputer)},
        {"uinI", typeid(UsbintOutputer)},
        {"uinR", typeid(UsbintOutputer)},
        {"uinC", typeid(UsbintOutputer)},
        {"buhI", typeid(HubifOutputer)},
        {"buhC", typeid(HubifOutputer)},
        {"khpI", typeid(UsbportHkOutputer)},
        {"khpC", typeid(UsbportHkOutputer)},
        {"urbI", typeid(UrbOutputer)},
        {"urbR", typeid(UrbOutputer)},
        {"urbC", typeid(UrbOutputer)},
        {"iCnt", typeid(UrbOutputer)},
        {"cCnt", typeid(UrbOutputer)},
        // No returned state for function calls; a known kind with another state letter; neighbours of the
        // known tags by case; the change log and the log's start and end.
        {"buhR", typeid(LogOutputer)},
        {"khpR", typeid(LogOutputer)},
        {"powX", typeid(LogOutputer)},
        {"PNPI", typeid(LogOutputer)},
        {"icnt", typeid(LogOutputer)},
        {"vedA", typeid(LogOutputer)},
        {"vedR", typeid(LogOutputer)},
        {"vrdA", typeid(LogOutputer)},
        {"vrdR", typeid(LogOutputer)},
        {"ktsA", typeid(LogOutputer)},
        {"ktsR", typeid(LogOutputer)},
        {"atsL", typeid(LogOutputer)},
        {"dneL", typeid(LogOutputer)},
        {"\0\0\0\0", typeid(LogOutputer)},
    };
    tdl::test::RecordingOutputImp out;
    for (const Case& c : cases) {
        const ULONG tag = FourCC(c.tag[0], c.tag[1], c.tag[2], c.tag[3]);
        const std::vector<uint8_t> record = tdl::test::RecordBuilder(tag).Build();
        std::unique_ptr<LogOutputer> decoder(
            LogOutputer::Create(&out, nullptr, reinterpret_cast<const _LOGHDR*>(record.data())));
        ASSERT_NE(nullptr, decoder) << c.tag;
        const LogOutputer& made = *decoder;
        EXPECT_EQ(c.decoder, std::type_index(typeid(made))) << c.tag;
        EXPECT_EQ(&out, decoder->GetImp());
    }
    // Building a decoder emits nothing.
    EXPECT_TRUE(out.Lines().empty());
}

TEST(DecoderFactoryTest, TheHubInterfaceDecoderKeepsItsHeaderArguments) {
    tdl::test::RecordBuilder builder(LogTag::buhC);
    builder.DeviceObject(0x1122334455667788).Irp(0x99AABBCCDDEEFF00);
    const std::vector<uint8_t> record = builder.Build();
    tdl::test::RecordingOutputImp out;
    std::unique_ptr<LogOutputer> decoder(
        LogOutputer::Create(&out, nullptr, reinterpret_cast<const _LOGHDR*>(record.data())));
    auto* hubif = dynamic_cast<HubifOutputer*>(decoder.get());
    ASSERT_NE(nullptr, hubif);
    EXPECT_EQ(0x1122334455667788u, hubif->GetBusContext());
    EXPECT_EQ(0x99AABBCCDDEEFF00u, hubif->GetArgument2());
}

TEST(DecoderFactoryTest, WithoutARecordEveryDecoderRunsOnAHeaderOfZeros) {
    tdl::test::RecordingOutputImp out;
    using Make = std::function<LogOutputer*()>;
    const Make makers[] = {
        [&] { return LogOutputer::Create(&out, nullptr, nullptr); },
        [&] { return new IrpOutputer(&out, nullptr, nullptr); },
        [&] { return new PowerOutputer(&out, nullptr, nullptr); },
        [&] { return new PnpOutputer(&out, nullptr, nullptr); },
        [&] { return new IoctlOutputer(&out, nullptr, nullptr); },
        [&] { return new HubifOutputer(&out, nullptr, nullptr); },
    };
    for (const Make& make : makers) {
        std::unique_ptr<LogOutputer> decoder(make());
        ASSERT_NE(nullptr, decoder);
        decoder->OutputLogEntry();
        decoder->OutputTarget();
        decoder->OutputIrpFields();
        decoder->OutputKindTitle(1);
        for (int mode : {0, 2})
            decoder->OutputMarkupRecord(mode);
    }
    EXPECT_NE(std::string::npos, out.Text().find("AddElement|PerfCounter\nAddAttribute|High|00000000\n"));
}

} // namespace
