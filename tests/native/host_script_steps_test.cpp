// The unattended dialog scripts: each line's action and values, the text
// typed or named kept as written, and the line named when one is wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/cli_args.h"
#include "host/script_steps.h"

namespace {

TEST(ScriptSteps, ActionsAndTheirValues) {
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(
      ParseScript("# a comment, then a blank line\n"
                  "\n"
                  "type 202 1.5\r\n"
                  "type 209\n"
                  "  click 2 alt shift\n"
                  "ok\n"
                  "cancel\n"
                  "drag 104 -2\n"
                  "keys shift\n"
                  "keys\n"
                  "press escape\n"
                  "zoom label\n"
                  "pan -30 12\n"
                  "pan 5 6 100 80\n"
                  "choose C:\\my presets\\soft.prm \n"
                  "shot /tmp/d.png\n"
                  "wait 0\n",
                  &steps, &error))
      << error;
  ASSERT_EQ(steps.size(), 15u);
  EXPECT_EQ(steps[0].kind, StepKind::kType);
  EXPECT_EQ(steps[0].id, 202);
  EXPECT_EQ(steps[0].text, "1.5");
  EXPECT_EQ(steps[0].line, 3);
  EXPECT_EQ(steps[1].text, "");  // typing nothing clears the box
  EXPECT_TRUE(steps[2].alt && steps[2].shift);
  EXPECT_EQ(steps[2].id, 2);
  EXPECT_EQ(steps[3].kind, StepKind::kClick);
  EXPECT_EQ(steps[3].id, 1);
  EXPECT_EQ(steps[4].id, 2);
  EXPECT_FALSE(steps[4].alt);
  EXPECT_EQ(steps[5].value, -2);
  EXPECT_TRUE(steps[6].shift && !steps[6].alt);
  EXPECT_FALSE(steps[7].shift || steps[7].alt);
  EXPECT_EQ(steps[8].id, 27);
  EXPECT_EQ(steps[9].value, 0);
  EXPECT_EQ(steps[10].dx, -30);
  EXPECT_FALSE(steps[10].at);
  EXPECT_TRUE(steps[11].at);
  EXPECT_EQ(steps[11].y, 80);
  EXPECT_EQ(steps[12].text, "C:\\my presets\\soft.prm");
  EXPECT_EQ(steps[13].text, "/tmp/d.png");
  EXPECT_EQ(steps[14].kind, StepKind::kWait);
}

TEST(ScriptSteps, AWrongLineIsNamed) {
  const struct {
    const char *line;
  } bad[] = {{"drag 104"},  {"click 2 ctrl"}, {"zoom sideways"},
             {"press tab"}, {"wait -1"},      {"pan 1 2 3"},
             {"type x 5"},  {"ok 1"},         {"frobnicate"}};
  for (const auto &b : bad) {
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(
        ParseScript(std::string("show\n") + b.line + "\n", &steps, &error))
        << b.line;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

TEST(ScriptSteps, CommandLineModes) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(
      {"/tmp/T.8bf", "--run", "--script", "/tmp/s.txt"}, &o, &error))
      << error;
  EXPECT_EQ(o.scriptPath, "Z:\\tmp\\s.txt");
  EXPECT_TRUE(o.unattended);  // message boxes are answered too
  EXPECT_FALSE(o.interactive);
  CliOptions person;
  ASSERT_TRUE(ParseCommandLine({"/tmp/T.8bf", "--run", "--interactive"},
                               &person, &error));
  EXPECT_TRUE(person.interactive);
  EXPECT_FALSE(person.unattended);
}

}  // namespace
