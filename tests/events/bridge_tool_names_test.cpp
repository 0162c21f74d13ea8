// The event bridge is a Python script that names tools in the titles it writes; the application
// names them again when it shows a message. Both read the same alias rows, and this keeps them
// the same: every spelling the application knows must come out of the bridge with the same id
// and the same name.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "model/tool_catalog.hpp"
#include "model/tool_names.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::TempDir;

constexpr const char* kNameBoth = R"(
import importlib.machinery, importlib.util, sys
loader = importlib.machinery.SourceFileLoader("glimmet_event", sys.argv[1])
module = importlib.util.module_from_spec(importlib.util.spec_from_loader("glimmet_event", loader))
loader.exec_module(module)
for name in open(sys.argv[2], encoding="utf-8").read().split("\n")[:-1]:
    print(module.tool_id_for_source(name) + "\t" + module.display_name_for_source(name))
)";

std::vector<std::string> namesToTry() {
  std::vector<std::string> names;
  for (const auto& alias : toolAliases()) {
    std::vector<std::string> spaced;
    if (alias.qualifiers.empty()) spaced.emplace_back(alias.brand);
    for (const auto qualifier : alias.qualifiers) {
      spaced.push_back(std::string(alias.brand) + " " + std::string(qualifier));
    }
    for (const auto& name : spaced) {
      names.push_back(name);
      names.push_back(replaceAll(name, " ", "_"));
      names.push_back(replaceAll(name, " ", "-"));
      names.push_back(name + " cn");
    }
  }
  for (const auto& item : aiToolCatalog()) {
    names.push_back(item.id);
    names.push_back(item.name);
  }
  for (const char* name : {"codex desktop", "Claude Desktop", "Trae SOLO CN", "Trae CLI",
                           "cursor-cli", "Codex.app", "saoudrizwan.claude-dev", "my tool"}) {
    names.emplace_back(name);
  }
  return names;
}

TEST(BridgeToolNamesTest, TheEventBridgeNamesEveryToolAsTheApplicationDoes) {
  TempDir dir;
  const std::vector<std::string> names = namesToTry();
  std::string list;
  for (const auto& name : names) list += name + "\n";
  testing::writeText(dir.file("names.txt"), list);

  auto python = ChildProcess::spawn(
      {"python3", "-c", kNameBoth,
       std::string(GLIMMET_SOURCE_DIR) + "/src/integrations/scripts/glimmet_event.py",
       dir.file("names.txt")});
  ASSERT_TRUE(python.waitExit(30));
  std::istringstream lines(python.output());
  std::string line;
  size_t index = 0;
  for (; std::getline(lines, line) && index < names.size(); ++index) {
    const std::string& name = names[index];
    const auto tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    EXPECT_EQ(line.substr(0, tab), canonicalToolID(name)) << name;
    EXPECT_EQ(line.substr(tab + 1), toolDisplayName(name)) << name;
  }
  EXPECT_EQ(index, names.size()) << python.output();
}

}  // namespace
}  // namespace glimmet
