// The SCSI command block decoder: names, dispatch, the section around the rows, and every command decoder
// reached at least once, with the rows compared as "label=value" text. Each block is an exact 16-byte heap
// copy, so AddressSanitizer catches a read past the CBWCB field.
#include "app/decoders/scsi/CdbOutputer.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

constexpr BYTE kRbc = 1;
constexpr BYTE kMmc = 2;
constexpr BYTE kSpc = 6;

// A command block from hexadecimal bytes, padded with zeros to the CBWCB field's 16 bytes.
std::unique_ptr<BYTE[]> Cdb(const std::string& hex) {
    std::unique_ptr<BYTE[]> bytes(new BYTE[CdbOutputer::kCdbSize]());
    std::istringstream in(hex);
    std::string byte;
    size_t i = 0;
    while (in >> byte && i < CdbOutputer::kCdbSize)
        bytes[i++] = static_cast<BYTE>(std::stoul(byte, nullptr, 16));
    return bytes;
}

// Every call Output makes.
std::string Emit(const std::string& hex, BYTE subclass, int mode, ULONG length = 10) {
    auto cdb = Cdb(hex);
    tdl::test::RecordingOutputImp out;
    CdbOutputer decoder(&out, nullptr, nullptr, cdb.get(), length);
    decoder.Output(mode, subclass);
    return out.Text();
}

// The rows alone, "label=value" joined by "; ".
std::string Rows(const std::string& hex, BYTE subclass, int mode) {
    std::istringstream lines(Emit(hex, subclass, mode));
    std::string line;
    std::string rows;
    while (std::getline(lines, line)) {
        std::vector<std::string> parts;
        std::istringstream fields(line);
        std::string part;
        while (std::getline(fields, part, '|'))
            parts.push_back(part);
        if (parts.size() < 3 || (parts[0] != "AddItem" && parts[0] != "WriteValue"))
            continue;
        if (!rows.empty())
            rows += "; ";
        rows += parts[1] + "=" + parts[2];
    }
    return rows;
}

struct RowCase {
    const char* what;
    const char* cdb;
    BYTE subclass;
    int mode;
    const char* rows;
};

const RowCase kRowCases[] = {
    // Six-byte commands.
    {"READ(06) all address bits", "08 1F FF FF 10 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ(06) [08]; LogicalBlockAddress=0x1fffff; TransferLength=0x10; Control=0x00"},
    {"READ(06) without bits 5-7", "08 E5 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ(06) [08]; LogicalBlockAddress=0x050000; TransferLength=0x00; Control=0x00"},
    {"WRITE(06) bare", "0A 01 02 03 04 05", kSpc, OUTPUT_MODE_XML,
     "OperationCode=WRITE(06).[0a]; LogicalBlockAddress=010203; TransferLength=04; Control=05"},
    {"SEEK(06)", "0B 3F 00 01 00 07", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=SEEK(06) [0b]; LogicalBlockAddress=0x1f0001; Control=0x07"},
    {"TEST UNIT READY", "00 FF FF FF FF 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=TEST UNIT READY [00]; Control=0x00"},
    {"RESERVE(6) keeps its short name", "16 00 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=RESERVE(6) [16]; Control=0x00"},
    {"RELEASE(6)", "17 00 00 00 00 00", kSpc, OUTPUT_MODE_XML, "OperationCode=RELEASE(6).[17]; Control=00"},
    {"READ BLOCK LIMITS", "05 00 00 00 00 80", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ BLOCK LIMITS [05]; Control=0x80"},
    {"REWIND", "01 01 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=REWIND/REZERO UNIT [01]; Immed=1; Control=0x00"},
    {"REQUEST SENSE", "03 00 00 00 12 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=REQUEST SENSE [03]; AllocationLength=0x12; Control=0x00"},
    {"FORMAT UNIT under RBC", "04 FF FF 00 00 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=FORMAT UNIT [04]; Control=0x00"},
    {"FORMAT UNIT under MMC", "04 1F FF 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=FORMAT UNIT [04]; DefectListFormat=7; CmpList=1; FmtData=1; Control=0x00"},
    {"FORMAT UNIT under SPC", "04 A5 42 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=FORMAT UNIT [04]; DefectListFormat=5; CmpList=0; FmtData=0; LongList=1; RTOReq=0; FmtPInfo=1; "
     "VendorSpecific=0x42; Control=0x00"},
    {"FORMAT UNIT under no command set", "04 FF FF 00 00 00", 0, OUTPUT_MODE_GRID,
     "OperationCode=FORMAT UNIT [04]; Control=0x00"},
    {"ERASE(06) shares REASSIGN BLOCKS", "19 03 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=ERASE(06) [19]; LongList=1; LongLBA=1; Control=0x00"},
    {"REASSIGN BLOCKS", "07 02 00 00 00 00", kSpc, OUTPUT_MODE_XML,
     "OperationCode=REASSIGN BLOCKS.[07]; LongList=0; LongLBA=1; Control=00"},
    {"WRITE FILEMARKS", "10 02 00 00 01 00", kSpc, OUTPUT_MODE_XML,
     "OperationCode=WRITE FILEMARKS.[10]; Immed=0; Wsmk=1; TransferLength=000001; Control=00"},
    {"SPACE(06)", "11 05 01 02 03 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=SPACE(06) [11]; Code=5; Count=0x010203; Control=0x00"},
    {"INQUIRY", "12 01 80 FF 24 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=INQUIRY [12]; EVPD=1; CmdDt=0; PageOrOpCode=0x80; AllocationLength=0x24; Control=0x00"},
    {"VERIFY(06)", "13 04 00 00 10 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=VERIFY(06) [13]; Fixed=0; BytCmp=0; Immed=1; VerificationLength=0x000010; Control=0x00"},
    {"RECOVER BUFFERED DATA", "14 03 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=RECOVER BUFFERED DATA [14]; Fixed=1; Sili=1; VerificationLength=0x000100; Control=0x00"},
    {"MODE SELECT(06)", "15 11 00 00 0C 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=MODE SELECT(06) [15]; SP=1; PF=1; ParameterListLength=0x0c; Control=0x00"},
    {"MODE SENSE(06)", "1A 08 BF 00 C0 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=MODE SENSE(06) [1a]; DBD=1; PageCode=0x3f; PC=2; AllocationLength=0xc0; Control=0x00"},
    {"START STOP UNIT under SPC", "1B 01 00 03 F7 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=START STOP UNIT [1b]; Immed=1; Start=1; LoEj=1; PowerConditions=f; Control=0x00"},
    {"START STOP UNIT under MMC", "1B 01 00 03 F7 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=START STOP UNIT [1b]; Immed=1; FormatLayer=3; Start=1; LoEj=1; Fl=1; PowerConditions=f; "
     "Control=0x00"},
    {"START STOP UNIT under RBC", "1B 00 00 03 01 00", kRbc, OUTPUT_MODE_XML,
     "OperationCode=START STOP UNIT.[1b]; Immed=0; Start=1; LoEj=0; PowerConditions=0; Control=00"},
    {"RECEIVE DIAGNOSTIC RESULTS", "1C 01 05 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=RECEIVE DIAGNOSTIC RESULTS [1c]; PCV=1; PageCode=0x05; AllocationLength=0x0100; Control=0x00"},
    {"SEND DIAGNOSTIC", "1D E4 00 00 08 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=SEND DIAGNOSTIC [1d]; UnitOffL=0; DevOffL=0; SelfTest=1; PF=0; SelfTestCode=7; "
     "ParameterListLength=0x0008; Control=0x00"},
    {"PREVENT ALLOW MEDIUM REMOVAL", "1E 00 00 00 03 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=PREVENT ALLOW MEDIUM REMOVAL [1e]; Prevent=1; Persistant=1; Control=0x00"},

    // Ten-byte commands.
    {"READ(10) under SPC", "28 00 00 00 10 00 00 00 08 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ(10) [28]; FUA_NV=0; FUA=0; DPO=0; RdProtect=0; LogicalBlockAddress=0x00001000; "
     "GroupNumber=0x00; TransferBlocks=0x0008; Control=0x00"},
    {"READ(10) under SPC bare", "28 00 00 00 10 00 00 00 08 00", kSpc, OUTPUT_MODE_XML,
     "OperationCode=READ(10).[28]; FUA_NV=0; FUA=0; DPO=0; RdProtect=0; LogicalBlockAddress=00001000; "
     "GroupNumber=00; TransferBlocks=0008; Control=00"},
    {"READ(10) under RBC", "28 FA 00 00 10 00 1F 00 08 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=READ(10) [28]; LogicalBlockAddress=0x00001000; TransferBlocks=0x0008; Control=0x00"},
    {"WRITE(10) under MMC", "2A FE 01 02 03 04 1F 00 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE(10) [2a]; TSR=1; FUA=1; DPO=1; LogicalBlockAddress=0x01020304; TransferBlocks=0x0001; "
     "Control=0x00"},
    {"WRITE(10) under RBC keeps FUA", "2A 08 00 00 00 01 00 00 01 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE(10) [2a]; FUA=1; LogicalBlockAddress=0x00000001; TransferBlocks=0x0001; Control=0x00"},
    {"READ CAPACITY under RBC", "25 00 00 00 00 01 00 00 01 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=READ CAPACITY [25]; Control=0x00"},
    {"READ CAPACITY under SPC", "25 00 00 00 00 01 00 00 01 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ CAPACITY [25]; LogicalBlockAddress=0x00000001; PMI=1; Control=0x00"},
    {"READ GENERATION", "29 01 00 00 00 02 00 00 04 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ GENERATION [29]; RelAdr=1; LogicalBlockAddress=0x00000002; AllocationLength=0x04; "
     "Control=0x00"},
    {"SEEK(10)", "2B 00 00 00 00 09 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=SEEK(10) [2b]; LogicalBlockAddress=0x00000009; Control=0x00"},
    {"ERASE(10)", "2C 06 00 00 00 00 00 00 02 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=ERASE(10) [2c]; Immed=1; ERA=1; LogicalBlockAddress=0x00000000; BlockCount=0x0002; Control=0x00"},
    {"READ UPDATED BLOCK 15-bit address", "2D 00 00 00 00 00 FF FF 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ UPDATED BLOCK [2d]; RelAdr=0; FUA=0; DPO=0; LogicalBlockAddress=0x00000000; Latest=1; "
     "GenerationAddress=0x7fff; Control=0x00"},
    {"WRITE AND VERIFY(10) under MMC", "2E 12 00 00 00 00 00 00 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE AND VERIFY(10) [2e]; DPO=1; LogicalBlockAddress=0x00000000; TransferBlocks=0x0001; "
     "Control=0x00"},
    {"VERIFY(10) under MMC", "2F 00 00 00 00 00 9F 00 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=VERIFY(10) [2f]; BytChk=0; DPO=0; LogicalBlockAddress=0x00000000; G3tout=1; "
     "VerifyBlocks=0x0001; Control=0x00"},
    {"VERIFY(10) under SPC", "2F 00 00 00 00 00 9F 00 01 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=VERIFY(10) [2f]; BytChk=0; DPO=0; VRProtect=0; LogicalBlockAddress=0x00000000; "
     "GroupNumber=0x1f; VerifyBlocks=0x0001; Control=0x00"},
    {"SET LIMITS(10)", "33 03 00 00 00 00 00 00 00 00", kSpc, OUTPUT_MODE_XML,
     "OperationCode=SET LIMITS(10).[33]; WrInh=1; RdInh=1; LogicalBlockAddress=00000000; BlockCount=0000; "
     "Control=00"},
    {"PRE-FETCH(10)", "34 02 00 00 00 00 00 00 05 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=PRE-FETCH(10) [34]; RelAdr=0; Immed=1; LogicalBlockAddress=0x00000000; TransferLength=0x0005; "
     "Control=0x00"},
    {"SYNCHRONIZE CACHE(10) under RBC", "35 06 00 00 00 00 00 00 00 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=SYNCHRONIZE CACHE(10) [35]; LogicalBlockAddress=0x00000000; BlockCount=0x0000; Control=0x00"},
    {"SYNCHRONIZE CACHE(10) under MMC", "35 06 00 00 00 00 00 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SYNCHRONIZE CACHE(10) [35]; Immed=1; LogicalBlockAddress=0x00000000; BlockCount=0x0000; "
     "Control=0x00"},
    {"LOCK/UNLOCK CACHE(10)", "36 02 00 00 00 00 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=LOCK/UNLOCK CACHE(10) [36]; RelAdr=0; Lock=1; LogicalBlockAddress=0x00000000; "
     "BlockCount=0x0000; Control=0x00"},
    {"READ DEFECT DATA(10)", "37 00 1D 00 00 00 00 02 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ DEFECT DATA(10) [37]; DefectListFormat=5; Req_GList=1; Req_PList=1; "
     "AllocationLength=0x0200; Control=0x00"},
    {"MEDIUM SCAN", "38 1F 00 00 00 00 00 00 08 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=MEDIUM SCAN [38]; RelAdr=1; PRA=1; RSD=1; ASA=1; WBS=1; LogicalBlockAddress=0x00000000; "
     "ParameterListLength=0x08; Control=0x00"},
    {"WRITE BUFFER under SPC", "3B 0F 01 01 02 03 04 05 06 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE BUFFER [3b]; Mode=f; BufferId=0x01; BufferOffset=0x010203; "
     "ParameterListLength=0x040506; Control=0x00"},
    {"WRITE BUFFER under RBC", "3B 0F 01 01 02 03 04 05 06 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE BUFFER [3b]; Mode=7; BufferOffset=0x010203; ParameterListLength=0x040506; Control=0x00"},
    {"READ BUFFER", "3C 02 01 00 00 00 00 00 10 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=READ BUFFER [3c]; Mode=2; BufferId=0x01; BufferOffset=0x000000; "
     "ParameterListLength=0x000010; Control=0x00"},
    {"UPDATE BLOCK", "3D 01 00 00 00 01 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=UPDATE BLOCK [3d]; RelAdr=1; LogicalBlockAddress=0x00000001; Control=0x00"},
    {"READ LONG", "3E 02 00 00 00 00 00 02 10 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ LONG [3e]; Correct=1; LogicalBlockAddress=0x00000000; ByteTransferLength=0x0210; "
     "Control=0x00"},
    {"WRITE LONG", "3F 00 00 00 00 00 00 02 10 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE LONG [3f]; LogicalBlockAddress=0x00000000; ByteTransferLength=0x0210; Control=0x00"},
    {"WRITE SAME(10)", "41 E6 00 00 00 00 03 00 01 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE SAME(10) [41]; LBData=1; PBData=1; WrProtect=7; LogicalBlockAddress=0x00000000; "
     "GroupNumber=0x03; BlockCount=0x0001; Control=0x00"},
    {"XDWRITE(10)", "50 1C 00 00 00 00 00 00 01 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=XDWRITE(10) [50]; DisableWrite=1; FUA=1; DPO=1; LogicalBlockAddress=0x00000000; "
     "AllocationLength=0x0001; Control=0x00"},
    {"LOG SELECT", "4C 03 40 00 00 00 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=LOG SELECT [4c]; SP=1; PCR=1; PC=1; AllocationLength=0x0000; Control=0x00"},
    {"LOG SENSE", "4D 00 C0 00 00 01 02 00 40 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=LOG SENSE [4d]; SP=0; PPC=0; PC=3; ParameterPointer=0x0102; AllocationLength=0x0040; "
     "Control=0x00"},
    {"MODE SELECT(10)", "55 10 00 00 00 00 00 01 00 C0", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=MODE SELECT(10) [55]; SP=0; PF=1; ParameterListLength=0x0100; Control=0xc0"},
    {"RESERVE UNIT(10)", "56 12 00 07 00 00 00 00 18 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=RESERVE UNIT(10) [56]; LongID=1; ThirdParty=1; ThirdPartyDeviceID=0x07; "
     "ParameterListLength=0x0018; Control=0x00"},
    {"RELEASE UNIT(10)", "57 12 00 07 00 00 00 00 18 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=RELEASE UNIT(10) [57]; LongID=1; ThirdParty=1; ThirdPartyDeviceID=0x07; "
     "ParameterListLength=0x0018; Control=0x00"},
    {"MODE SENSE(10)", "5A 18 BF 00 00 00 00 00 FC 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=MODE SENSE(10) [5a]; DBD=1; LLBAA=1; PageCode=0x3f; PC=2; AllocationLength=0x00fc; "
     "Control=0x00"},
    {"PERSISTENT RESERVE IN", "5E 01 00 00 00 00 00 00 08 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=PERSISTENT RESERVE IN [5e]; ServiceAction=0x01; ParameterListLength=0x0008; Control=0x00"},
    {"PERSISTENT RESERVE OUT", "5F 06 53 00 00 00 00 00 18 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=PERSISTENT RESERVE OUT [5f]; ServiceAction=0x06; Type=3; Scope=5; "
     "ParameterListLength=0x0018; Control=0x00"},
    {"READ FORMAT CAPACITIES", "23 00 00 00 00 00 00 00 FC 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ FORMAT CAPACITIES [23]; AllocationLength=0x00fc; Control=0x00"},
    {"READ SUB CHANNEL", "42 02 40 01 00 00 05 00 10 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ SUB CHANNEL [42]; Time=1; SUBQ=1; ParameterListCode=0x01; TrackNumber=0x05; "
     "AllocationLength=0x0010; Control=0x00"},
    {"READ TOC/PMA/ATIP", "43 02 02 00 00 00 01 00 0C 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ TOC/PMA/ATIP [43]; Msf=1; Format=2; StartingTrack=0x01; AllocationLength=0x000c; "
     "Control=0x00"},
    {"READ HEADER", "44 02 00 00 00 10 00 00 08 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ HEADER [44]; MSF=1; LogicalBlockAddress=0x00000010; AllocationLength=0x0008; "
     "Control=0x00"},
    {"PLAY AUDIO(10)", "45 01 00 00 00 10 00 00 08 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=PLAY AUDIO(10) [45]; RelAdr=1; LogicalBlockAddress=0x00000010; PlayLength=0x0008; Control=0x00"},
    {"GET CONFIGURATION", "46 02 00 1F 00 00 00 00 08 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=GET CONFIGURATION [46]; RequestType=2; StartingFeature=0x001f; AllocationLength=0x0008; "
     "Control=0x00"},
    {"PLAY AUDIO MSF", "47 00 00 01 02 03 04 05 06 00", kMmc, OUTPUT_MODE_XML,
     "OperationCode=PLAY AUDIO MSF.[47]; Starting_M_Field=01; Starting_S_Field=02; Starting_F_Field=03; "
     "Ending_M_Field=04; Ending_S_Field=05; Ending_F_Field=06; Control=00"},
    {"GET EVENT STATUS NOTIFICATION", "4A 01 00 00 10 00 00 00 08 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=GET EVENT STATUS NOTIFICATION [4a]; Polled=1; NotificationClassRequest=0x10; "
     "AllocationLength=0x0008; Control=0x00"},
    {"PAUSE/RESUME", "4B 00 00 00 00 00 00 00 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=PAUSE/RESUME [4b]; Resume=1; Control=0x00"},
    {"STOP PLAY/SCAN", "4E FF FF FF FF FF FF FF FF 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=STOP PLAY/SCAN [4e]; Control=0x00"},
    {"READ DISC INFORMATION", "51 02 00 00 00 00 00 00 22 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ DISC INFORMATION [51]; DataType=2; AllocationLength=0x0022; Control=0x00"},
    {"READ TRACK INFORMATION", "52 05 00 00 00 01 00 00 30 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ TRACK INFORMATION [52]; AddressNumberType=1; Open=1; BlockAddressTrackNumber=0x00000001; "
     "AllocationLength=0x0030; Control=0x00"},
    {"RESERVE TRACK by address", "53 01 11 22 33 44 55 66 77 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=RESERVE TRACK [53]; ARSV=1; RMZ=0; ReservationLBA=0x11223344; Control=0x00"},
    {"RESERVE TRACK by size", "53 02 11 22 33 44 55 66 77 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=RESERVE TRACK [53]; ARSV=0; RMZ=1; ReservationSize=0x44556677; Control=0x00"},
    {"SEND OPC INFORMATION", "54 01 03 00 00 00 00 00 08 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SEND OPC INFORMATION [54]; DoOpc=1; Exclude0=1; Exclude1=1; ParameterListLength=0x0008; "
     "Control=0x00"},
    {"REPAIR TRACK", "58 01 00 00 00 05 00 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=REPAIR TRACK [58]; Immediate=1; TrackNumber=0x0005; Control=0x00"},
    {"READ MASTER CUE", "59 00 00 00 02 00 00 01 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ MASTER CUE [59]; SheetNumber=0x02; AllocationLength=0x000100; Control=0x00"},
    {"CLOSE TRACK SESSION", "5B 01 02 00 00 03 00 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=CLOSE TRACK SESSION [5b]; Immed=1; CloseFunction=2; LogicalTrackNumber=0x0003; Control=0x00"},
    {"READ BUFFER CAPACITY", "5C 01 00 00 00 00 00 00 0C 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ BUFFER CAPACITY [5c]; BlockInfo=1; AllocationLength=0x000c; Control=0x00"},
    {"SEND CUE SHEET", "5D 00 00 00 00 00 00 01 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SEND CUE SHEET [5d]; CueSheetSize=0x000100; Control=0x00"},

    // Sixteen-byte commands.
    {"READ(16)", "88 08 00 00 00 00 00 00 08 00 00 00 00 10 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ(16) [88]; FUA_NV=0; FUA=1; DPO=0; RdProtect=0; LogicalBlockAddress=0x800; "
     "TransferLength=0x00000010; GroupNumber=0x00; Control=0x00"},
    {"READ(16) bare", "88 08 00 00 00 00 00 00 08 00 00 00 00 10 00 00", kSpc, OUTPUT_MODE_XML,
     "OperationCode=READ(16).[88]; FUA_NV=0; FUA=1; DPO=0; RdProtect=0; LogicalBlockAddress=800; "
     "TransferLength=00000010; GroupNumber=00; Control=00"},
    {"READ(16) all-ones address", "88 E0 FF FF FF FF FF FF FF FF 00 00 00 01 FF 07", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ(16) [88]; FUA_NV=0; FUA=0; DPO=0; RdProtect=7; LogicalBlockAddress=0xffffffffffffffff; "
     "TransferLength=0x00000001; GroupNumber=0x1f; Control=0x07"},
    {"READ(16) zero address", "88 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", kSpc, OUTPUT_MODE_XML,
     "OperationCode=READ(16).[88]; FUA_NV=0; FUA=0; DPO=0; RdProtect=0; LogicalBlockAddress=0; "
     "TransferLength=00000000; GroupNumber=00; Control=00"},
    {"WRITE(16)", "8A 02 00 00 00 00 00 00 00 01 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE(16) [8a]; FUA_NV=1; FUA=0; DPO=0; WrProtect=0; LogicalBlockAddress=0x1; "
     "TransferLength=0x00000001; GroupNumber=0x00; Control=0x00"},
    {"XDWRITE EXTENDED(16)", "80 9F 00 00 00 01 00 00 00 02 00 00 00 03 04 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=XDWRITE EXTENDED(16) [80]; PortControl=3; DisableWrite=1; FUA=1; DPO=1; TableAddr=1; "
     "LogicalBlockAddress=0x00000001; SecondaryLogicalBlockAddress=0x00000002; TransferLength=0x00000003; "
     "SecondaryAddress=0x04; Control=0x00"},
    {"REBUILD(16)", "81 05 00 00 00 01 00 00 00 02 00 00 00 03 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=REBUILD(16) [81]; PortControl=1; IntData=1; FUA=0; DPO=0; LogicalBlockAddress=0x00000001; "
     "RebuildLength=0x00000002; ParameterListLength=0x00000003; Control=0x00"},
    {"REGENERATE(16)", "82 02 00 00 00 01 00 00 00 02 00 00 00 03 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=REGENERATE(16) [82]; PortControl=2; IntData=0; FUA=0; DPO=0; LogicalBlockAddress=0x00000001; "
     "RegenerationLength=0x00000002; ParameterListLength=0x00000003; Control=0x00"},
    {"EXTENDED COPY", "83 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=EXTENDED COPY [83]; ParameterListLength=0x00000100; Control=0x00"},
    {"RECEIVE COPY RESULTS", "84 E3 07 00 00 00 00 00 00 00 00 00 00 20 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=RECEIVE COPY RESULTS [84]; ServiceAction=0x03; ListIdentifier=0x07; "
     "AllocationLength=0x00000020; Control=0x00"},
    {"WRITE AND VERIFY(16)", "8E 12 00 00 00 00 00 00 00 01 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE AND VERIFY(16) [8e]; BytChk=1; DPO=1; WrProtect=0; LogicalBlockAddress=0x1; "
     "TransferLength=0x00000001; GroupNumber=0x00; Control=0x00"},
    {"VERIFY(16)", "8F 40 00 00 00 00 00 00 00 01 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=VERIFY(16) [8f]; BytChk=0; DPO=0; VRProtect=2; LogicalBlockAddress=0x1; "
     "TransferLength=0x00000001; GroupNumber=0x00; Control=0x00"},
    {"PRE-FETCH(16)", "90 02 00 00 00 00 00 00 00 01 00 00 00 01 05 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=PRE-FETCH(16) [90]; Immed=1; LogicalBlockAddress=0x1; TransferLength=0x00000001; "
     "GroupNumber=0x05; Control=0x00"},
    {"SYNCHRONIZE CACHE(16)", "91 04 00 00 00 00 00 00 00 01 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=SYNCHRONIZE CACHE(16) [91]; Immed=0; Sync_NV=1; LogicalBlockAddress=0x1; "
     "BlockCount=0x00000001; GroupNumber=0x00; Control=0x00"},
    {"LOCK/UNLOCK CACHE(16)", "92 FF FF FF FF FF FF FF FF FF FF FF FF FF FF 01", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=LOCK/UNLOCK CACHE(16) [92]; Control=0x01"},
    {"WRITE SAME(16)", "93 06 00 00 00 00 00 00 00 01 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE SAME(16) [93]; LBData=1; PBData=1; WrProtect=0; LogicalBlockAddress=0x1; "
     "BlockCount=0x00000001; GroupNumber=0x00; Control=0x00"},

    // Twelve-byte commands.
    {"REPORT LUNS", "A0 00 00 00 00 00 01 00 00 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=REPORT LUNS [a0]; TransferLength=0x0100; Control=0x00"},
    {"BLANK", "A1 11 00 00 00 05 00 00 00 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=BLANK [a1]; BlankType=1; Immediate=1; AddressOrTrack=0x00000005; Control=0x00"},
    {"SEND EVENT", "A2 01 02 03 04 05 06 07 08 09 0A 0B", kMmc, OUTPUT_MODE_XML,
     "OperationCode=SEND EVENT.[a2]; Bytes.1-4=01,02,03,04; Bytes.5-8=05,06,07,08; Bytes.9-10=09,0a; Control=0b"},
    {"SEND KEY for VCPS", "A3 00 00 00 00 00 07 20 00 10 C5 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SEND KEY [a3]; KeyClass=0x20; VCPSFunction=0x07; ParameterListLength=0x0010; KeyFormat=0x05; "
     "AGID=3; Control=0x00"},
    {"REPORT KEY for class 0x02", "A4 00 00 00 00 10 03 02 00 08 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=REPORT KEY [a4]; KeyClass=0x02; BlockCount=0x03; BlockAddress/StartingOffset=0x00000010; "
     "AllocationLength=0x0008; KeyFormat=0x01; AGID=0; Control=0x00"},
    {"REPORT KEY for class 0x20", "A4 00 00 00 00 10 03 20 00 08 41 00", kMmc, OUTPUT_MODE_XML,
     "OperationCode=REPORT KEY.[a4]; KeyClass=20; VCPSFunction=03; BlockAddress_StartingOffset=00000010; "
     "AllocationLength=0008; KeyFormat=01; AGID=1; Control=00"},
    {"REPORT KEY for another class", "A4 00 00 00 00 10 03 00 00 08 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=REPORT KEY [a4]; KeyClass=0x00; BlockAddress/StartingOffset=0x00000010; "
     "AllocationLength=0x0008; KeyFormat=0x01; AGID=0; Control=0x00"},
    {"PLAY AUDIO(12)", "A5 01 00 00 00 10 00 00 00 08 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=PLAY AUDIO(12) [a5]; RelAdr=1; LogicalBlockAddress=0x00000010; PlayLength=0x00000008; "
     "Control=0x00"},
    {"LOAD/UNLOAD MEDIUM", "A6 01 00 00 03 00 00 00 02 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=LOAD/UNLOAD MEDIUM [a6]; Immed=1; Start=1; LoUnlo=1; Slot=0x02; Control=0x00"},
    {"SET READ AHEAD", "A7 00 00 00 00 01 00 00 00 02 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SET READ AHEAD [a7]; TriggerLBA=0x00000001; ReadAheadLBA=0x00000002; Control=0x00"},
    {"READ(12) under SPC", "A8 08 00 00 10 00 00 00 00 20 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ(12) [a8]; FUA_NV=0; FUA=1; DPO=0; RdProtect=0; LogicalBlockAddress=0x00001000; "
     "TransferLength=0x00000020; GroupNumber=0x00; Control=0x00"},
    {"READ(12) under MMC", "A8 08 00 00 10 00 00 00 00 20 00 81", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ(12) [a8]; FUA=1; DPO=0; LogicalBlockAddress=0x00001000; TransferLength=0x00000020; "
     "Streaming=1; Control=0x81"},
    {"READ(12) under RBC", "A8 FF 00 00 10 00 00 00 00 20 00 00", kRbc, OUTPUT_MODE_GRID,
     "OperationCode=READ(12) [a8]; LogicalBlockAddress=0x00001000; TransferLength=0x00000020; Control=0x00"},
    {"WRITE(12) under MMC", "AA 04 00 00 00 01 00 00 00 01 80 01", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE(12) [aa]; TSR=1; FUA=0; DPO=0; LogicalBlockAddress=0x00000001; "
     "TransferLength=0x00000001; VNR=1; Streaming=1; Control=0x01"},
    {"WRITE(12) under SPC", "AA 1A 00 00 00 01 00 00 00 01 03 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE(12) [aa]; FUA_NV=1; FUA=1; DPO=1; WrProtect=0; LogicalBlockAddress=0x00000001; "
     "TransferLength=0x00000001; GroupNumber=0x03; Control=0x00"},
    {"READ MEDIA SERIAL NUMBER", "AB 01 00 00 00 00 00 00 01 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ MEDIA SERIAL NUMBER [ab]; ServiceAction=0x01; DataLength=0x00000100; Control=0x00"},
    {"SERVICE ACTION IN(12) other action", "AB 10 00 00 00 00 00 00 01 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=0xab; Bytes 1-4=0x10, 0x00, 0x00, 0x00; Bytes 5-8=0x00, 0x00, 0x00, 0x01; "
     "Bytes 9-10=0x00, 0x00; Control=0x00"},
    {"GET PERFORMANCE", "AC 03 00 00 00 01 00 00 00 04 01 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=GET PERFORMANCE [ac]; DataType=0x03; StartingLBA=0x00000001; MaxNumDescriptors=0x0004; "
     "Type=0x01; Control=0x00"},
    {"READ DISC STRUCTURE", "AD 01 00 00 00 02 01 04 00 10 40 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ DISC STRUCTURE [ad]; MediaType=1; Address=0x00000002; LayerNumber=0x01; Format=0x04; "
     "AllocationLength=0x0010; AGID=1; Control=0x00"},
    {"WRITE AND VERIFY(12)", "AE 17 00 00 00 00 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=WRITE AND VERIFY(12) [ae]; RelAdr=1; BytChk=1; EBP=1; DPO=1; LogicalBlockAddress=0x00000000; "
     "TransferLength=0x00000001; Control=0x00"},
    {"VERIFY(12)", "AF 04 00 00 00 00 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=VERIFY(12) [af]; RelAdr=0; BytChk=0; BlkVfy=1; DPO=0; LogicalBlockAddress=0x00000000; "
     "VerificationLength=0x00000001; Control=0x00"},
    {"SET LIMITS(12)", "B3 01 00 00 00 00 00 00 00 01 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=SET LIMITS(12) [b3]; WrInh=1; RdInh=0; LogicalBlockAddress=0x00000000; "
     "BlockCount=0x00000001; Control=0x00"},
    {"SET STREAMING", "B6 00 00 00 00 00 00 00 05 00 1C 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SET STREAMING [b6]; Type=0x05; ParameterListLength=0x001c; Control=0x00"},
    {"READ DEFECT DATA(12)", "B7 1D 00 00 00 00 00 00 02 00 00 00", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=READ DEFECT DATA(12) [b7]; DefectListFormat=5; Req_GList=1; Req_PList=1; "
     "AllocationLength=0x00000200; Control=0x00"},
    {"READ CD MSF", "B9 16 00 01 02 03 04 05 06 FE 05 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ CD MSF [b9]; DAP=1; ExpectedSectorType=5; StartingM=0x01; StartingS=0x02; "
     "StartingF=0x03; EndingM=0x04; EndingS=0x05; EndingF=0x06; ErrorFlags=3; IncludeEDC=1; IncludeUserData=1; "
     "HeaderCode=3; IncludeSyncData=1; SubChannelSelection=5; Control=0x00"},
    {"SCAN", "BA 11 00 00 00 01 00 00 00 80 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SCAN [ba]; RelAdr=1; Direct=1; ScanStartingAddress=0x00000001; Type=2; Control=0x00"},
    {"SET CD SPEED", "BB 01 01 00 02 00 00 00 00 00 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SET CD SPEED [bb]; RotationalControl=1; DriveReadSpeed=0x0100; DriveWriteSpeed=0x0200; "
     "Control=0x00"},
    {"PLAY CD", "BC 02 00 00 00 01 00 00 00 02 8F 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=PLAY CD [bc]; CMSF=1; ExpectedSectorType=0; StartingLogicalBlockAddress=0x00000001; "
     "PlayLengthInBlocks=0x00000002; Audio=1; Composite=1; Port1=1; Port2=1; Speed=1; Control=0x00"},
    {"MECHANISM STATUS", "BD 00 00 00 00 00 00 00 00 08 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=MECHANISM STATUS [bd]; AllocationLength=0x0008; Control=0x00"},
    {"READ CD", "BE 04 00 00 00 10 00 00 01 10 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=READ CD [be]; DAP=0; ExpectedSectorType=1; StartingLBA=0x00000010; TransferLength=0x000001; "
     "ErrorFlags=0; IncludeEDC=0; IncludeUserData=1; HeaderCode=0; IncludeSyncData=0; SubChannelSelection=0; "
     "Control=0x00"},
    {"SEND DISC STRUCTURE", "BF 02 00 00 00 00 00 05 00 10 00 00", kMmc, OUTPUT_MODE_GRID,
     "OperationCode=SEND DISC STRUCTURE [bf]; MediaType=2; Format=0x05; AllocationLength=0x0010; Control=0x00"},

    // Operation codes without a decoder of their own.
    {"unnamed six-byte code", "02 01 02 03 04 05", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=0x02; Byte1=0x01; Byte2=0x02; Byte3=0x03; Byte4=0x04; Control=0x05"},
    {"unnamed six-byte code bare", "06 01 02 03 04 05", kSpc, OUTPUT_MODE_XML,
     "OperationCode=06; Byte1=01; Byte2=02; Byte3=03; Byte4=04; Control=05"},
    {"unnamed ten-byte code", "20 01 02 03 04 05 06 07 08 09", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=0x20; Bytes 1-4=0x01, 0x02, 0x03, 0x04; Bytes 5-8=0x05, 0x06, 0x07, 0x08; Control=0x09"},
    {"unnamed ten-byte code bare", "20 01 02 03 04 05 06 07 08 09", kSpc, OUTPUT_MODE_XML,
     "OperationCode=20; Bytes.1-4=01,02,03,04; Bytes.5-8=05,06,07,08; Control=09"},
    {"unnamed sixteen-byte code", "9E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", kSpc, OUTPUT_MODE_GRID,
     "OperationCode=0x9e; Bytes 1-4=0x01, 0x02, 0x03, 0x04; Bytes 5-8=0x05, 0x06, 0x07, 0x08; "
     "Bytes 9-12=0x09, 0x0a, 0x0b, 0x0c; Bytes 13-14=0x0d, 0x0e; Control=0x0f"},
    {"unnamed sixteen-byte code bare", "9E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", kSpc, OUTPUT_MODE_XML,
     "OperationCode=9e; Bytes.1-4=01,02,03,04; Bytes.5-8=05,06,07,08; Bytes.9-12=09,0a,0b,0c; Bytes.13-14=0d,0e; "
     "Control=0f"},
    {"unnamed twelve-byte code", "B5 01 02 03 04 05 06 07 08 09 0A 0B", kSpc, OUTPUT_MODE_XML,
     "OperationCode=b5; Bytes.1-4=01,02,03,04; Bytes.5-8=05,06,07,08; Bytes.9-10=09,0a; Control=0b"},
    {"group 3 has no rows", "60 01 02 03 04 05 06 07 08 09", kSpc, OUTPUT_MODE_GRID, ""},
    {"group 6 has no rows", "C5 01 02 03 04 05 06 07 08 09", kSpc, OUTPUT_MODE_XML, ""},
};

TEST(CdbOutputer, EachCommandShowsItsFieldsInTheModeFormat) {
    for (const RowCase& c : kRowCases)
        EXPECT_EQ(Rows(c.cdb, c.subclass, c.mode), c.rows) << c.what;
}

TEST(CdbOutputer, EveryDecoderIsReachedByTheCases) {
    // Each command decoder of the tables must be run by a case above, so a wrong row in any of them shows.
    std::set<int> covered;
    for (const RowCase& c : kRowCases)
        covered.insert(Cdb(c.cdb)[0]);
    for (auto group : {CdbCommands6(), CdbCommands10(), CdbCommands12(), CdbCommands16()}) {
        for (const CdbCommand& command : group)
            EXPECT_TRUE(covered.count(command.opcode)) << std::hex << int(command.opcode);
    }
}

TEST(CdbOutputer, EveryRowReadsWithinItsGroupsBlock) {
    for (auto group : {CdbCommands6(), CdbCommands10(), CdbCommands12(), CdbCommands16()}) {
        for (const CdbCommand& command : group) {
            const size_t size = CdbOutputer::GroupSize(command.opcode);
            CString name;
            const BYTE block[CdbOutputer::kCdbSize] = {command.opcode};
            CdbOutputer::GetCommandName(block, name);
            EXPECT_FALSE(name.IsEmpty()) << std::hex << int(command.opcode);
            for (const CdbField& row : command.fields) {
                EXPECT_LE(row.End(), size) << row.field.label.xml;
                EXPECT_LT(row.testByte, size) << row.field.label.xml;
            }
        }
    }
}

TEST(CdbOutputer, SectionIsTitledWithLengthAndCommandSet) {
    struct {
        ULONG length;
        BYTE subclass;
        const char* title;
        const char* element; // "???" names no element
    } const cases[] = {
        {10, 6, "CDB10.SPC-2", "CDB10.SPC-2"}, {12, 2, "CDB12.MMC-5", "CDB12.MMC-5"},
        {6, 1, "CDB6.RBC", "CDB6.RBC"},        {0, 0, "CDB0.???", "CDB0.Unknown"},
        {16, 7, "CDB16.???", "CDB16.Unknown"}, {10, 0xFF, "CDB10.???", "CDB10.Unknown"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            Emit("00", c.subclass, OUTPUT_MODE_GRID, c.length),
            std::string("BeginCategory|") + c.title +
                "\nAddItem|OperationCode|TEST UNIT READY [00]|-\nAddItem|Control|0x00|-\nExpandCurrent\nEndGroup\n");
        EXPECT_EQ(Emit("60", c.subclass, OUTPUT_MODE_XML, c.length),
                  std::string("BeginElement|") + c.element + "\nEndElement\nEndGroup\n");
    }

    // In an XML report the section is an element inside the wrapper's, whatever the command set: what the
    // wrapper writes after it stays inside the wrapper, and the document parses back to the same elements.
    for (BYTE subclass = 0; subclass <= 7; ++subclass) {
        SCOPED_TRACE(subclass);
        CXmlOutput writer;
        ASSERT_TRUE(writer.BeginDocument("Records"));
        XmlOutputImp xml(&writer);
        xml.BeginElement("CBW");
        auto cdb = Cdb("28 00 00 00 10 00 00 00 08 00");
        CdbOutputer(&xml, nullptr, nullptr, cdb.get(), 10).Output(OUTPUT_MODE_XML, subclass);
        xml.WriteValue("After", "1");
        xml.EndElement();
        EXPECT_TRUE(markup_test::SameRecordsAsParsed(writer.GetMarkup()));
        const std::string text = markup_test::Text(writer.GetMarkup());
        const std::string element = std::string("CDB10.") + (subclass == 1   ? "RBC"
                                                             : subclass == 2 ? "MMC-5"
                                                             : subclass == 6 ? "SPC-2"
                                                                             : "Unknown");
        const size_t end = text.find("</" + element + ">");
        ASSERT_NE(end, std::string::npos) << text;
        EXPECT_LT(text.find("<" + element + ">"), end);
        EXPECT_LT(end, text.find("<After>1</After>")) << text;
        EXPECT_LT(text.find("<After>1</After>"), text.find("</CBW>")) << text;
    }
}

TEST(CdbOutputer, HtmlReportShowsNothing) {
    EXPECT_EQ(Emit("28 00 00 00 10 00 00 00 08 00", 6, OUTPUT_MODE_HTML), "");
}

TEST(CdbOutputer, CommandNames) {
    struct {
        const char* cdb;
        const char* name;
    } const cases[] = {
        {"AB 01", "READ MEDIA SERIAL NUMBER"},
        {"AB 21", "READ MEDIA SERIAL NUMBER"}, // bits 5-7 of byte 1 are not the service action
        {"AB 10", ""},
        {"5E", "PERSISTENT RESERVE IN"},
        {"5F", "PERSISTENT RESERVE OUT"},
        {"08", "READ(06)"},
        {"16", "RESERVE(6)"},
        {"02", ""},
        {"4F", ""},
        {"60", ""},
        {"7F", ""},
        {"9F", ""},
        {"B8", ""},
        {"C0", ""},
        {"FF", ""},
    };
    for (const auto& c : cases) {
        CString name = "stale";
        CdbOutputer::GetCommandName(Cdb(c.cdb).get(), name);
        EXPECT_STREQ(name.GetString(), c.name) << c.cdb;
    }
}

TEST(CdbOutputer, BigEndianReaders) {
    const BYTE bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    EXPECT_EQ(CdbOutputer::GetBigEndian16(bytes), 0x1234u);
    EXPECT_EQ(CdbOutputer::GetBigEndian24(bytes), 0x123456u);
    EXPECT_EQ(CdbOutputer::GetBigEndian32(bytes), 0x12345678u);
    EXPECT_EQ(CdbOutputer::GetBigEndian64(bytes), 0x123456789ABCDEF0ull);
}

} // namespace
