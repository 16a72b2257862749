// Values inside a statistics report, from the launcher to the server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/qos_value.h"

namespace {

std::string Decode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// What the HTTP library does to the path (the ";" among its escapes; it
// leaves "%" alone), then what a statistics server does: decode the query,
// split the record at ";", decode each value.
std::vector<std::string> ServerItems(const std::string& record) {
  std::string wire;
  for (char c : record) wire += c == ';' ? std::string("%3B") : std::string(1, c);
  std::string query = Decode(wire);
  std::vector<std::string> items;
  size_t start = 0;
  while (start < query.size()) {
    size_t end = query.find(';', start);
    if (end == std::string::npos) end = query.size();
    items.push_back(Decode(query.substr(start, end - start)));
    start = end + 1;
  }
  return items;
}

}  // namespace

TEST(QosValue, UrlSafeTextIsUnchanged) {
  EXPECT_EQ(EncodeQosValue("AbZ09-_.~"), "AbZ09-_.~");
  EXPECT_EQ(EncodeQosValue("k=1"), "k=1");  // base64 keys end in "=" and carry "/"
  EXPECT_EQ(EncodeQosValue("a/b+c=="), "a/b%252Bc==");
  EXPECT_EQ(EncodeQosValue(""), "");
}

TEST(QosValue, SpecialBytesArriveEncodedTwice) {
  EXPECT_EQ(EncodeQosValue("a#b;T:99}"), "a%2523b%253BT%253A99%257D");
  EXPECT_EQ(EncodeQosValue("% &"), "%2525%2520%2526");
  EXPECT_EQ(EncodeQosValue("\xE5\x90\x8D"), "%25E5%2590%258D");
}

TEST(QosValue, AForgedRecordStaysOneValueAtTheServer) {
  const std::string skey = "a#b;T:99};N:forged";
  std::string record = "S:x;W:" + EncodeQosValue(skey) + ";U:0;N:" + EncodeQosValue("9") + ";T:3";
  std::vector<std::string> items = ServerItems(record);
  std::vector<std::string> expected = {"S:x", "W:" + skey, "U:0", "N:9", "T:3"};
  EXPECT_EQ(items, expected);
}

TEST(QosValue, EveryByteSurvivesTheTrip) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::vector<std::string> items = ServerItems("W:" + EncodeQosValue(all) + ";");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], "W:" + all);
}
