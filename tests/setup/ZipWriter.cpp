#include "ZipWriter.h"

#include <zlib.h>

namespace setup::test {

namespace {

void Put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

} // namespace

std::string Deflate(const std::string& data) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string BuildZip(const std::vector<ZipEntry>& entries, ZipLayout* layout) {
    std::string zip, central;
    ZipLayout where;
    for (const ZipEntry& entry : entries) {
        const std::string stored = entry.compressed ? *entry.compressed
                                   : entry.deflate  ? Deflate(entry.data)
                                                    : entry.data;
        const uint32_t crc = entry.crc
                                 ? *entry.crc
                                 : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                                               static_cast<uInt>(entry.data.size())));
        const uint16_t method = entry.deflate ? 8 : 0;
        const size_t offset = zip.size();
        where.localHeaders.push_back(offset);
        Put32(zip, 0x04034b50);
        Put16(zip, 20); // version needed
        Put16(zip, 0);  // flags
        Put16(zip, method);
        Put16(zip, entry.dosTime);
        Put16(zip, entry.dosDate);
        Put32(zip, crc);
        Put32(zip, static_cast<uint32_t>(stored.size()));
        Put32(zip, static_cast<uint32_t>(entry.data.size()));
        Put16(zip, static_cast<uint32_t>(entry.name.size()));
        Put16(zip, static_cast<uint32_t>(entry.localExtra.size()));
        zip += entry.name + entry.localExtra + stored;

        where.centralHeaders.push_back(central.size());
        Put32(central, 0x02014b50);
        Put16(central, (3 << 8) | 20); // made by: Unix
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, method);
        Put16(central, entry.dosTime);
        Put16(central, entry.dosDate);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(stored.size()));
        Put32(central, static_cast<uint32_t>(entry.data.size()));
        Put16(central, static_cast<uint32_t>(entry.name.size()));
        Put16(central, 0); // central extra
        Put16(central, 0); // comment
        Put16(central, 0); // disk
        Put16(central, 0); // internal attributes
        Put32(central, entry.external);
        Put32(central, static_cast<uint32_t>(offset));
        central += entry.name;
    }
    const size_t centralOffset = zip.size();
    for (size_t& at : where.centralHeaders)
        at += centralOffset;
    zip += central;
    where.endRecord = zip.size();
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put32(zip, static_cast<uint32_t>(central.size()));
    Put32(zip, static_cast<uint32_t>(centralOffset));
    Put16(zip, 0);
    if (layout)
        *layout = where;
    return zip;
}

std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times, std::optional<uint16_t> declaredSize) {
    std::string block = "UT";
    Put16(block, declaredSize ? *declaredSize : static_cast<uint16_t>(1 + 4 * times.size()));
    block += static_cast<char>(flags);
    for (int32_t time : times)
        Put32(block, static_cast<uint32_t>(time));
    return block;
}

std::string ExtraBlock(char id0, char id1, const std::string& data) {
    std::string block{id0, id1};
    Put16(block, static_cast<uint32_t>(data.size()));
    return block + data;
}

} // namespace setup::test
