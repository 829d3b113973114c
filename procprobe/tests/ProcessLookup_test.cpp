#include "procprobe/core/ProcessLookup.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <string>
#include <vector>

namespace {

using namespace qvr::procprobe;
using NameRead = ProcessTable::NameRead;

struct FakeProcess {
  uint32_t id;
  std::string base_name;
  NameRead read = NameRead::kRead;
  std::string image_path;
};

// Behaves as EnumProcesses does: a short buffer silently cuts the list.
class FakeTable final : public ProcessTable {
 public:
  std::vector<FakeProcess> processes;
  int list_calls = 0;
  int fail_list_call = -1;  // the call (0-based) that fails, if any

  bool ListIds(uint32_t* ids, size_t capacity, size_t* written) override {
    if (list_calls++ == fail_list_call) return false;
    size_t n = 0;
    for (; n < capacity && n < processes.size(); ++n) ids[n] = processes[n].id;
    *written = n;
    return true;
  }
  NameRead BaseName(uint32_t id, std::string* name) override {
    const FakeProcess& p = Find(id);
    if (p.read == NameRead::kRead) *name = p.base_name;
    return p.read;
  }
  bool ImagePath(uint32_t id, std::string* path) override {
    const FakeProcess& p = Find(id);
    *path = p.image_path;
    return !p.image_path.empty();
  }

 private:
  const FakeProcess& Find(uint32_t id) const {
    for (const FakeProcess& p : processes)
      if (p.id == id) return p;
    throw std::logic_error("asked about an identifier that was never listed");
  }
};

FakeTable ManyProcesses(size_t count) {
  FakeTable table;
  for (size_t i = 0; i < count; ++i)
    table.processes.push_back({static_cast<uint32_t>(4 * i + 8), "svc" + std::to_string(i) + ".exe"});
  return table;
}

TEST(ProcessLookup, NullNameReturnsZeroWithoutListingProcesses) {
  FakeTable table = ManyProcesses(3);
  EXPECT_EQ(0u, LookupProcess(table, nullptr));
  EXPECT_EQ(0, table.list_calls);
}

TEST(ProcessLookup, ComparesByteForByteAndReturnsTheFirstListed) {
  FakeTable table;
  table.processes = {{40, "explorer.exe"}, {12, "QVRPlayer.exe"}, {8, "QVRPlayer.exe"}};
  EXPECT_EQ(12u, LookupProcess(table, "QVRPlayer.exe"));
  EXPECT_EQ(0u, LookupProcess(table, "qvrplayer.exe"));
  EXPECT_EQ(0u, LookupProcess(table, "QVRPlayer"));
  EXPECT_EQ(0u, LookupProcess(table, "QVRPlayer.exe "));
  EXPECT_EQ(0u, LookupProcess(table, ""));
}

TEST(ProcessLookup, SkipsProcessesThatCannotBeOpened) {
  FakeTable table;
  table.processes = {{4, "QVRPlayer.exe", NameRead::kUnopenable, "C:\\QVRPlayer.exe"}, {16, "QVRPlayer.exe"}};
  EXPECT_EQ(16u, LookupProcess(table, "QVRPlayer.exe"));
}

TEST(ProcessLookup, UnreadableBaseNameFallsBackToTheImageFileName) {
  FakeTable table;
  table.processes = {
      {4, "", NameRead::kUnreadable, ""},                                   // nothing readable at all
      {8, "", NameRead::kUnreadable, "C:\\QVRPlayer.exe\\other.exe"},       // a folder is not a name
      {12, "", NameRead::kUnreadable, "C:\\Program Files\\QVR\\qvrplayer.EXE"},
      {16, "", NameRead::kUnreadable, "C:\\Program Files\\QVR\\QVRPlayer.exe"},
  };
  EXPECT_EQ(16u, LookupProcess(table, "QVRPlayer.exe"));
  EXPECT_EQ(12u, LookupProcess(table, "qvrplayer.EXE"));
  EXPECT_EQ(0u, LookupProcess(table, "QVR\\QVRPlayer.exe"));
  EXPECT_EQ(0u, LookupProcess(table, "QVRPlayer.exe\\other.exe"));
}

TEST(ProcessLookup, FindsProgramsListedBeyondTheFirstBuffers) {
  FakeTable table = ManyProcesses(5000);
  table.processes[300].base_name = "QVRPlayer.exe";
  table.processes[4999].base_name = "setup.exe";
  EXPECT_EQ(table.processes[300].id, LookupProcess(table, "QVRPlayer.exe"));
  EXPECT_EQ(table.processes[4999].id, LookupProcess(table, "setup.exe"));
}

TEST(ProcessLookup, ListsEveryIdentifierWhateverTheCountAgainstTheBuffer) {
  for (const size_t count : {size_t{0}, size_t{1}, kInitialProcessIds - 1, kInitialProcessIds,
                             kInitialProcessIds + 1, 3 * kInitialProcessIds}) {
    FakeTable table = ManyProcesses(count);
    std::vector<uint32_t> ids;
    ASSERT_TRUE(ListAllProcessIds(table, &ids)) << count;
    ASSERT_EQ(count, ids.size());
    for (size_t i = 0; i < count; ++i) ASSERT_EQ(table.processes[i].id, ids[i]) << count;
  }
}

TEST(ProcessLookup, AnUnavailableListFindsNothing) {
  FakeTable first = ManyProcesses(10);
  first.processes[0].base_name = "a.exe";
  first.fail_list_call = 0;
  EXPECT_EQ(0u, LookupProcess(first, "a.exe"));

  FakeTable regrown = ManyProcesses(2 * kInitialProcessIds);  // fails when asked again, larger
  regrown.processes[0].base_name = "a.exe";
  regrown.fail_list_call = 1;
  EXPECT_EQ(0u, LookupProcess(regrown, "a.exe"));
}

}  // namespace
