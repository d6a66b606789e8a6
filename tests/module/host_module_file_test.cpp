// The host's view of a module file: the property list read from the
// resource without running the code, the entry it loads, and the clear
// refusal of a module it must not run.
#include <gtest/gtest.h>

#include "host/module_file.h"
#include "host/pe_header.h"
#include "host_test_support.h"

namespace {

TEST(HostModuleFile, ReadsThePropertyListAndLoadsTheEntry) {
  ModuleFile module;
  std::string error;
  ASSERT_TRUE(ReadModuleFile(FixturePath("HostFixture.8bf"), &module, &error))
      << error;
  ASSERT_EQ(module.pipls.size(), 1u);
  const PiplResource &list = module.pipls[0];
  EXPECT_EQ(list.resourceName, "#16000");
  ASSERT_TRUE(list.valid) << list.error;
  EXPECT_EQ(list.info.name, "Fixture...");
  EXPECT_EQ(list.info.category, "Host Tests");
  EXPECT_EQ(list.info.entryX86, "ENTRYPOINT");
  EXPECT_EQ(list.info.entryX64, "ENTRYPOINT");
  EXPECT_EQ(list.info.ficiCount, 7);
  EXPECT_EQ(module.machine, sizeof(void *) == 8 ? kMachineX64 : kMachineX86);
  EXPECT_EQ(module.refusal, "");
  // A module without a version resource says so rather than printing
  // zeros.
  EXPECT_FALSE(module.version.present);
  EXPECT_NE(DescribeModuleFile(module).find("\nversion: none\n"),
            std::string::npos);
  ASSERT_TRUE(LoadModuleCode(&module, &error)) << error;
  EXPECT_TRUE(module.entry != nullptr);
  UnloadModule(&module);
}

TEST(HostModuleFile, RefusesModulesItMustNotRun) {
  const bool x64 = HostArch() == CodeArch::kX64;
  struct Case {
    const char *file;
    std::string reason;
  };
  const Case cases[] = {
      {"HostFixtureForeign.8bf", x64 ? "no code descriptor for x64 ('8664')"
                                     : "no code descriptor for x86 ('wx86')"},
      {"HostFixtureMalformed.8bf",
       "is malformed: property 'name' string of 40 characters in 11 bytes"},
  };
  for (const Case &c : cases) {
    ModuleFile module;
    std::string error;
    ASSERT_TRUE(ReadModuleFile(FixturePath(c.file), &module, &error)) << error;
    EXPECT_NE(module.refusal.find(c.reason), std::string::npos)
        << c.file << ": " << module.refusal;
    EXPECT_FALSE(LoadModuleCode(&module, &error)) << c.file;
    EXPECT_EQ(error.rfind("refused: ", 0), 0u) << error;
    EXPECT_TRUE(module.entry == nullptr);
    // The list is still printed, so a person sees what the module is.
    EXPECT_NE(DescribeModuleFile(module).find("pipl #16000:"),
              std::string::npos);
  }
  ModuleFile missing;
  std::string error;
  EXPECT_FALSE(
      ReadModuleFile(FixturePath("NoSuchModule.8bf"), &missing, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

}  // namespace
