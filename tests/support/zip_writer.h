#pragma once
// Builds small zip archives and extra fields in memory for the unpacking
// tests, with full control over the fields the launcher reads: host,
// attributes, DOS stamp, extra fields, flags and compression. Free of
// Windows headers: the native unit tests use it too.
#include <cstdint>
#include <string>
#include <vector>

namespace support {

struct ZipItem {
  std::string name;  // stored bytes (UTF-8 for non-ASCII)
  std::string data;
  bool deflate = true;
  uint16_t versionMadeBy = 0x031E;      // Unix host, zip 3.0
  uint32_t externalAttributes = 0x81A40000;  // regular file, rw-r--r--
  uint16_t dosDate = (40 << 9) | (6 << 5) | 15;  // 2020-06-15
  uint16_t dosTime = (12 << 11) | (30 << 5);     // 12:30:00
  std::string localExtra;
  std::string centralExtra;
  uint16_t flags = 0x0800;  // UTF-8 names
  bool corruptData = false;  // flip a byte of the stored data after the CRC is taken
  int method = -1;  // when set, this method id is written (the data stay as built)
  // CRC and sizes in a data descriptor after the data (flag bit 3, zeros in
  // the local header), as streaming writers leave them.
  bool dataDescriptor = false;
};

ZipItem FileItem(const std::string& name, const std::string& data);
ZipItem DirItem(const std::string& name);  // Unix host, drwxr-xr-x

// Where an item's data landed in the archive.
struct ZipPlace {
  uint64_t dataOffset = 0;  // after the local header and its extra field
  uint64_t storedSize = 0;  // the compressed (or stored) bytes
  uint32_t crc = 0;
};

// With `zip64`, every size and offset goes into zip64 extra blocks and the
// archive ends with the zip64 end records, as writers do for huge packages.
// `places`, when given, receives one entry per item.
std::string BuildZip(const std::vector<ZipItem>& items, bool zip64 = false, std::vector<ZipPlace>* places = nullptr);

// A "UT" extra block with the given flags and Unix times, in that order.
std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times);
std::string ExtraBlock(uint16_t id, const std::string& data);

}  // namespace support
