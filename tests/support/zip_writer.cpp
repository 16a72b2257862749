#include "support/zip_writer.h"

#include <zlib.h>

namespace support {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
constexpr uint32_t kMax32 = 0xFFFFFFFFu;

std::string RawDeflate(const std::string& data) {
  z_stream s{};
  deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, data.size()) + 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(&out[0]);
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

}  // namespace

ZipItem FileItem(const std::string& name, const std::string& data) {
  ZipItem item;
  item.name = name;
  item.data = data;
  return item;
}

ZipItem DirItem(const std::string& name) {
  ZipItem item;
  item.name = name;
  item.deflate = false;
  item.externalAttributes = 0x41ED0000;
  return item;
}

std::string ExtraBlock(uint16_t id, const std::string& data) {
  std::string out;
  Put16(out, id);
  Put16(out, static_cast<uint32_t>(data.size()));
  return out + data;
}

std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times) {
  std::string data(1, static_cast<char>(flags));
  for (int32_t t : times) Put32(data, static_cast<uint32_t>(t));
  return ExtraBlock(0x5455, data);
}

std::string BuildZip(const std::vector<ZipItem>& items, bool zip64, std::vector<ZipPlace>* places) {
  std::string out, central;
  for (const ZipItem& item : items) {
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size()));
    std::string stored = item.deflate ? RawDeflate(item.data) : item.data;
    if (item.corruptData && !stored.empty()) stored[stored.size() / 2] ^= 0x5A;
    uint16_t method = item.method >= 0 ? static_cast<uint16_t>(item.method) : item.deflate ? 8 : 0;
    uint32_t offset = static_cast<uint32_t>(out.size());

    std::string localExtra = item.localExtra, centralExtra = item.centralExtra;
    if (zip64) {
      std::string sizes;
      Put64(sizes, item.data.size());
      Put64(sizes, stored.size());
      localExtra = ExtraBlock(0x0001, sizes) + localExtra;
      Put64(sizes, offset);
      centralExtra = ExtraBlock(0x0001, sizes) + centralExtra;
    }
    uint32_t storedSize = zip64 ? kMax32 : static_cast<uint32_t>(stored.size());
    uint32_t dataSize = zip64 ? kMax32 : static_cast<uint32_t>(item.data.size());
    uint16_t needed = zip64 ? 45 : 20;

    uint16_t flags = item.dataDescriptor ? static_cast<uint16_t>(item.flags | 0x0008) : item.flags;
    Put32(out, 0x04034b50);
    Put16(out, needed);
    Put16(out, flags);
    Put16(out, method);
    Put16(out, item.dosTime);
    Put16(out, item.dosDate);
    Put32(out, item.dataDescriptor ? 0 : crc);
    Put32(out, item.dataDescriptor && !zip64 ? 0 : storedSize);
    Put32(out, item.dataDescriptor && !zip64 ? 0 : dataSize);
    Put16(out, static_cast<uint32_t>(item.name.size()));
    Put16(out, static_cast<uint32_t>(localExtra.size()));
    out += item.name + localExtra;
    if (places) places->push_back(ZipPlace{out.size(), stored.size(), crc});
    out += stored;
    if (item.dataDescriptor) {
      Put32(out, 0x08074b50);
      Put32(out, crc);
      if (zip64) {
        Put64(out, stored.size());
        Put64(out, item.data.size());
      } else {
        Put32(out, static_cast<uint32_t>(stored.size()));
        Put32(out, static_cast<uint32_t>(item.data.size()));
      }
    }

    Put32(central, 0x02014b50);
    Put16(central, item.versionMadeBy);
    Put16(central, needed);
    Put16(central, flags);
    Put16(central, method);
    Put16(central, item.dosTime);
    Put16(central, item.dosDate);
    Put32(central, crc);
    Put32(central, storedSize);
    Put32(central, dataSize);
    Put16(central, static_cast<uint32_t>(item.name.size()));
    Put16(central, static_cast<uint32_t>(centralExtra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, item.externalAttributes);
    Put32(central, zip64 ? kMax32 : offset);
    central += item.name + centralExtra;
  }
  uint64_t centralOffset = out.size();
  out += central;
  if (zip64) {
    uint64_t recordOffset = out.size();
    Put32(out, 0x06064b50);
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, items.size());
    Put64(out, items.size());
    Put64(out, central.size());
    Put64(out, centralOffset);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put64(out, recordOffset);
    Put32(out, 1);
  }
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, zip64 ? 0xFFFF : static_cast<uint32_t>(items.size()));
  Put16(out, zip64 ? 0xFFFF : static_cast<uint32_t>(items.size()));
  Put32(out, zip64 ? kMax32 : static_cast<uint32_t>(central.size()));
  Put32(out, zip64 ? kMax32 : static_cast<uint32_t>(centralOffset));
  Put16(out, 0);
  return out;
}

}  // namespace support
