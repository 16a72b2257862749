#include <gtest/gtest.h>

#include "net/resume_record.h"
#include "net/resume_rules.h"

TEST(ResumeRecord, RoundTripAndDamagedForms) {
  ResumeRecord in;
  in.url = "http://pkg.example:8080/game-105.zip?x=1";
  in.validator = "\"5a3f-1b2c\"";
  in.length = 123456789012;
  std::string text = FormatResumeRecord(in);
  ResumeRecord out;
  ASSERT_TRUE(ParseResumeRecord(text, &out));
  EXPECT_EQ(out.url, in.url);
  EXPECT_EQ(out.validator, in.validator);
  EXPECT_EQ(out.length, in.length);

  in.length = -1;  // chunked body: length unknown
  ASSERT_TRUE(ParseResumeRecord(FormatResumeRecord(in), &out));
  EXPECT_EQ(out.length, -1);

  // A record cut short by a crash, or edited, counts as absent.
  EXPECT_FALSE(ParseResumeRecord(text.substr(0, text.size() - 1), &out));
  EXPECT_FALSE(ParseResumeRecord(text.substr(0, text.size() / 2), &out));
  EXPECT_FALSE(ParseResumeRecord(text + "extra=1\n", &out));
  EXPECT_FALSE(ParseResumeRecord("", &out));
  EXPECT_FALSE(ParseResumeRecord("vorn-resume 1\nurl=u\nvalidator=v\nlength=-5\n", &out));
  EXPECT_FALSE(ParseResumeRecord("vorn-resume 1\nurl=u\nvalidator=v\nlength=12x\n", &out));
  EXPECT_FALSE(ParseResumeRecord("vorn-resume 1\nurl=u\nvalidator=v\nlength=012\n", &out));
  EXPECT_FALSE(ParseResumeRecord("vorn-resume 1\nurl=u\nvalidator=v\nlength=9999999999999999999\n", &out));
  EXPECT_FALSE(ParseResumeRecord("vorn-resume 1\nurl=\nvalidator=v\nlength=1\n", &out));
  EXPECT_FALSE(ParseResumeRecord("vorn-resume 2\nurl=u\nvalidator=v\nlength=1\n", &out));
}

TEST(ResumeRecord, FieldsWithLineBreaksAreNotWritten) {
  ResumeRecord r;
  r.url = "http://a.example/x\nvalidator=forged";
  r.validator = "\"v\"";
  EXPECT_EQ(FormatResumeRecord(r), "");
  r.url = "http://a.example/x";
  r.validator = "\"v\"\r\nlength=1";
  EXPECT_EQ(FormatResumeRecord(r), "");
  r.url.clear();
  r.validator = "\"v\"";
  EXPECT_EQ(FormatResumeRecord(r), "");
}

TEST(ResumeRecord, PathIsBesideTheTarget) {
  EXPECT_EQ(ResumeRecordPath(L"D:\\Games\\x\\game.pkg.downloading"), L"D:\\Games\\x\\game.pkg.downloading.resume");
}

TEST(ResumeRules, ValidatorPrefersAStrongEtag) {
  EXPECT_EQ(PickValidator("\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"), "\"abc\"");
  EXPECT_EQ(PickValidator("W/\"abc\"", "Tue, 08 Dec 2026 10:00:00 GMT"), "Tue, 08 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(PickValidator("abc", ""), "");  // unquoted: not an entity tag
  EXPECT_EQ(PickValidator("\"", ""), "");
  EXPECT_EQ(PickValidator("", ""), "");
}

TEST(ResumeRules, ContentRangeForms) {
  ContentRange r;
  ASSERT_TRUE(ParseContentRange("bytes 100-199/1000", &r));
  EXPECT_FALSE(r.unsatisfied);
  EXPECT_EQ(r.first, 100);
  EXPECT_EQ(r.last, 199);
  EXPECT_EQ(r.complete, 1000);
  ASSERT_TRUE(ParseContentRange("bytes */8601234", &r));
  EXPECT_TRUE(r.unsatisfied);
  EXPECT_EQ(r.complete, 8601234);
  ASSERT_TRUE(ParseContentRange("bytes 0-9/*", &r));
  EXPECT_EQ(r.complete, -1);

  for (const char* bad : {"", "bytes", "bytes */*", "bytes 5-4/10", "bytes 0-10/10", "items 0-1/2",
                          "bytes 1-2", "bytes -1-2/3", "bytes 1-2/3 junk", "bytes 1-2/99999999999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseContentRange(bad, &r));
  }
}

TEST(ResumeRules, OffsetOnlyForTheSameResource) {
  ResumeRecord r;
  r.url = "http://s/p.zip";
  r.validator = "\"v1\"";
  r.length = 1000;
  EXPECT_EQ(ResumeOffset(&r, "http://s/p.zip", 400), 400);
  EXPECT_EQ(ResumeOffset(&r, "http://s/p.zip", 1000), 1000);  // whole: asked at its end, expecting 416
  EXPECT_EQ(ResumeOffset(&r, "http://s/p.zip", 1001), 0);     // more than the resource holds
  EXPECT_EQ(ResumeOffset(&r, "http://s/p.zip", 0), 0);
  EXPECT_EQ(ResumeOffset(&r, "http://s/other.zip", 400), 0);
  EXPECT_EQ(ResumeOffset(nullptr, "http://s/p.zip", 400), 0);  // a partial file without record
  r.validator.clear();
  EXPECT_EQ(ResumeOffset(&r, "http://s/p.zip", 400), 0);  // nothing to check the server's copy with
  r.validator = "\"v1\"";
  r.length = -1;
  EXPECT_EQ(ResumeOffset(&r, "http://s/p.zip", 400), 400);
}

TEST(ResumeRules, AnswersToARangeRequest) {
  EXPECT_EQ(JudgeRangeAnswer(206, 400, "bytes 400-999/1000"), RangeAnswer::kAppend);
  EXPECT_EQ(JudgeRangeAnswer(206, 400, "bytes 0-999/1000"), RangeAnswer::kStartOver);
  EXPECT_EQ(JudgeRangeAnswer(206, 400, ""), RangeAnswer::kStartOver);
  EXPECT_EQ(JudgeRangeAnswer(200, 400, ""), RangeAnswer::kWholeBody);
  EXPECT_EQ(JudgeRangeAnswer(416, 1000, "bytes */1000"), RangeAnswer::kAlreadyComplete);
  EXPECT_EQ(JudgeRangeAnswer(416, 1000, "bytes */2000"), RangeAnswer::kStartOver);  // grew on the server
  EXPECT_EQ(JudgeRangeAnswer(416, 1000, ""), RangeAnswer::kStartOver);
  EXPECT_EQ(JudgeRangeAnswer(404, 1000, ""), RangeAnswer::kOther);
  EXPECT_EQ(JudgeRangeAnswer(500, 1000, "bytes */1000"), RangeAnswer::kOther);
}

TEST(ResumeRules, PlanRecordsWhatABodyNeedsToBeResumedLater) {
  ResumeHeaders h;
  h.etag = "\"e2\"";
  h.lastModified = "Tue, 08 Dec 2026 10:00:00 GMT";
  h.contentLength = "5000";
  ResumePlan whole = PlanAnswer(200, 0, "", h);
  EXPECT_EQ(whole.answer, RangeAnswer::kOther);
  EXPECT_TRUE(whole.remember);
  EXPECT_EQ(whole.validator, "\"e2\"");
  EXPECT_EQ(whole.length, 5000);

  // The body changed since the bytes on disk: whole body, new validator.
  ResumePlan changed = PlanAnswer(200, 1200, "\"e1\"", h);
  EXPECT_EQ(changed.answer, RangeAnswer::kWholeBody);
  EXPECT_EQ(changed.validator, "\"e2\"");

  // A part answer: the length from Content-Range, the validator kept when
  // the server does not repeat it.
  ResumeHeaders part;
  part.contentRange = "bytes 1200-4999/5000";
  part.contentLength = "3800";
  ResumePlan rest = PlanAnswer(206, 1200, "\"e1\"", part);
  EXPECT_EQ(rest.answer, RangeAnswer::kAppend);
  EXPECT_TRUE(rest.remember);
  EXPECT_EQ(rest.validator, "\"e1\"");
  EXPECT_EQ(rest.length, 5000);

  // Chunked, without validators: nothing to check a later run against.
  ResumePlan bare = PlanAnswer(200, 0, "", ResumeHeaders());
  EXPECT_TRUE(bare.remember);
  EXPECT_EQ(bare.validator, "");
  EXPECT_EQ(bare.length, -1);

  ResumeHeaders unsatisfied;
  unsatisfied.contentRange = "bytes */5000";
  ResumePlan whole416 = PlanAnswer(416, 5000, "\"e1\"", unsatisfied);
  EXPECT_EQ(whole416.answer, RangeAnswer::kAlreadyComplete);
  EXPECT_FALSE(whole416.remember);
  EXPECT_EQ(PlanAnswer(416, 4000, "\"e1\"", unsatisfied).answer, RangeAnswer::kStartOver);

  // Errors and odd lengths record nothing.
  EXPECT_FALSE(PlanAnswer(404, 0, "", h).remember);
  h.contentLength = "12x";
  EXPECT_EQ(PlanAnswer(200, 0, "", h).length, -1);
}
