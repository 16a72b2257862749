#include "workflow/ini_file.h"

#include <gtest/gtest.h>

#include "workflow/query_pairs.h"

TEST(IniFile, EmptyTextHasNoSectionsAndNoError) {
  IniFile ini("");
  EXPECT_TRUE(ini.sections.empty());
  EXPECT_EQ(ini.error, "");
  EXPECT_EQ(ini.Get("common", "installName", "dflt"), "dflt");
}

TEST(IniFile, ReadsSectionsKeysAndValues) {
  IniFile ini(
      "; leading comment\n"
      "[common]\n"
      "installName=VornGame\n"
      "pkgUrl=http://h/p/%s.zip\n"
      "\n"
      "   \t\n"
      "[pc.v-2_x]  \n"
      "qosUrl=http://q/r;trailing comment\n"
      "weiduanShortcut=1   ; spaced comment\n");
  ASSERT_EQ(ini.error, "");
  EXPECT_EQ(ini.Get("common", "installName", ""), "VornGame");
  EXPECT_EQ(ini.Get("common", "pkgUrl", ""), "http://h/p/%s.zip");
  EXPECT_EQ(ini.Get("pc.v-2_x", "qosUrl", ""), "http://q/r");
  EXPECT_EQ(ini.Get("pc.v-2_x", "weiduanShortcut", ""), "1");
  EXPECT_EQ(ini.sections.size(), 2u);
  EXPECT_EQ(ini.currentSection, "pc.v-2_x");
}

TEST(IniFile, CrLfWithoutCommentsParsesLikeLf) {
  const std::string lf = "[common]\ninstallName=A\n\n[pc]\npkgName=B\n";
  const std::string crlf = "[common]\r\ninstallName=A\r\n\r\n[pc]\r\npkgName=B\r\n";
  IniFile a(lf), b(crlf);
  ASSERT_EQ(b.error, "");
  EXPECT_EQ(a.sections, b.sections);
  EXPECT_EQ(b.Get("pc", "pkgName", ""), "B");
}

TEST(IniFile, CrLfCommentLineIsRejectedWithItsCr) {
  IniFile alone("[common]\r\n; note\r\ninstallName=A\r\n");
  EXPECT_EQ(alone.error, "error format: ; note\r");
  // Values read before the bad line stay, but nothing after it is parsed.
  EXPECT_EQ(alone.Get("common", "installName", "none"), "none");

  IniFile trailing("[common]\r\ninstallName=A;x\r\n");
  EXPECT_EQ(trailing.error, "error format: installName=A;x\r");
  EXPECT_EQ(trailing.Get("common", "installName", "none"), "none");
}

TEST(IniFile, BlanksAroundEqualsRejectTheLine) {
  for (const char* line : {"installName = A", "installName =A", "installName= A", " installName=A",
                           " [common]"}) {
    IniFile ini(std::string("[common]\n") + line + "\nqosUrl=x\n");
    EXPECT_EQ(ini.error, std::string("error format: ") + line);
    EXPECT_EQ(ini.Get("common", "qosUrl", "none"), "none") << "parsing stops at the bad line";
  }
}

TEST(IniFile, ValueEndsAtBlankCaretOrSemicolon) {
  IniFile blankThenText("[common]\ninstallName=A B\n");
  EXPECT_EQ(blankThenText.error, "error format: installName=A B");

  IniFile semicolon("[common]\ninstallName=A;B C\n");
  EXPECT_EQ(semicolon.error, "");
  EXPECT_EQ(semicolon.Get("common", "installName", ""), "A");

  IniFile caret("[common]\ninstallName=A^B\n");
  EXPECT_EQ(caret.error, "error format: installName=A^B");
}

TEST(IniFile, KeyBeforeAnyHeaderIsRejected) {
  IniFile ini("; fine\ninstallName=A\n[common]\n");
  EXPECT_EQ(ini.error, "must start with section: installName=A");
  EXPECT_TRUE(ini.sections.empty());
}

TEST(IniFile, LastAssignmentWinsAcrossRepeatedHeaders) {
  IniFile ini("[common]\nk=1\nk=2\n[pc]\nk=p\n[common]\nk=3\nother=\n");
  ASSERT_EQ(ini.error, "");
  EXPECT_EQ(ini.Get("common", "k", ""), "3");
  EXPECT_EQ(ini.Get("pc", "k", ""), "p");
  // Present but empty is not the same as absent.
  EXPECT_EQ(ini.Get("common", "other", "dflt"), "");
  EXPECT_EQ(ini.Get("common", "missing", "dflt"), "dflt");
  EXPECT_EQ(ini.Get("nosuch", "k", "dflt"), "dflt");
}

TEST(IniFile, NamesAndKeysAreCaseSensitive) {
  IniFile ini("[Common]\nInstallName=A\n");
  ASSERT_EQ(ini.error, "");
  EXPECT_EQ(ini.Get("common", "InstallName", "none"), "none");
  EXPECT_EQ(ini.Get("Common", "installName", "none"), "none");
  EXPECT_EQ(ini.Get("Common", "InstallName", "none"), "A");
}

TEST(IniFile, NonAsciiSectionNameIsRejected) {
  IniFile ini("[平台]\nk=v\n");
  EXPECT_EQ(ini.error, "error format: [平台]");
  // Non-ASCII values are fine: only white space, "^" and ";" end a value.
  IniFile value("[common]\ninstallName=游戏\n");
  EXPECT_EQ(value.error, "");
  EXPECT_EQ(value.Get("common", "installName", ""), "游戏");
}

TEST(IniFile, HeaderAndPairOnOneLine) {
  IniFile tight("[common]installName=A\n");
  ASSERT_EQ(tight.error, "");
  EXPECT_EQ(tight.Get("common", "installName", ""), "A");

  IniFile spaced("[pc] \tpkgName=B ;c\n");
  ASSERT_EQ(spaced.error, "");
  EXPECT_EQ(spaced.Get("pc", "pkgName", ""), "B");
  EXPECT_EQ(spaced.currentSection, "pc");
}

TEST(IniFile, LastPieceWithoutLineFeedIsParsedAndMayFail) {
  IniFile good("[common]\ninstallName=A");
  EXPECT_EQ(good.error, "");
  EXPECT_EQ(good.Get("common", "installName", ""), "A");

  IniFile bad("[common]\ninstallName=A\nbroken line");
  EXPECT_EQ(bad.error, "error format: broken line");
  EXPECT_EQ(bad.Get("common", "installName", ""), "A");
}

TEST(IniFile, LinesAfterAFailureAreNotLookedAt) {
  IniFile ini("[common]\nbad line\n");
  EXPECT_FALSE(ini.ParseLine("[pc]"));
  EXPECT_EQ(ini.currentSection, "common");
  EXPECT_EQ(ini.error, "error format: bad line");
}

TEST(IniFile, LongCommentLineDoesNotCrash) {
  // A server-supplied line may be long; the matcher must cope with it.
  std::string text = "[common]\ninstallName=A ;" + std::string(20000, 'x') + "\n";
  IniFile ini(text);
  EXPECT_EQ(ini.error, "");
  EXPECT_EQ(ini.Get("common", "installName", ""), "A");
}

TEST(QueryPairs, SplitsPairsAndKeepsLaterDuplicates) {
  QueryPairs p = ParseQueryPairs("uid=12&skey=abc&uid=34");
  EXPECT_EQ(p.Get("uid"), "34");
  EXPECT_EQ(p.Get("skey"), "abc");
  EXPECT_EQ(p.Get("absent"), "");
  EXPECT_EQ(p.values.size(), 2u);
}

TEST(QueryPairs, EmptyPiecesAndTrailingSeparatorAreIgnored) {
  QueryPairs p = ParseQueryPairs("&&uid=1&&skey=2&");
  EXPECT_EQ(p.values.size(), 2u);
  EXPECT_EQ(p.Get("uid"), "1");
  EXPECT_EQ(p.Get("skey"), "2");
  EXPECT_TRUE(ParseQueryPairs("").values.empty());
  EXPECT_TRUE(ParseQueryPairs("novalue&=x").values.empty());
}

TEST(QueryPairs, ValueKeepsFurtherEqualsAndStopsAtLineEnd) {
  QueryPairs p = ParseQueryPairs("skey=a=b==c&uid=7\r\nrest");
  EXPECT_EQ(p.Get("skey"), "a=b==c");
  EXPECT_EQ(p.Get("uid"), "7");
  EXPECT_EQ(ParseQueryPairs("k=").Get("k"), "");
  EXPECT_EQ(ParseQueryPairs("k=").values.count("k"), 1u);
}

TEST(QueryPairs, KeyIsFoundBySearch) {
  EXPECT_EQ(ParseQueryPairs("a b=c").Get("b"), "c");
  EXPECT_EQ(ParseQueryPairs("a b=c").values.size(), 1u);
  EXPECT_EQ(ParseQueryPairs("a-b=c").Get("b"), "c");
  EXPECT_EQ(ParseQueryPairs("a-b=c").Get("a-b"), "");
  EXPECT_EQ(ParseQueryPairs("?uid=5/").Get("uid"), "5/");
}
