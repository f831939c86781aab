// The named block against the real system: creation, sharing, lifetime.
#include "ms/SharedMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "data/Errors.h"

namespace horalog {
namespace {

// A name no other test or program uses, so that each case starts without a block.
std::string FreshName(const char* tag) {
  static int counter = 0;
  return "horalog-test-" + std::string(tag) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++counter);
}

uint32_t ReadWord(const TSharedMemory& block) {
  uint32_t v;
  std::memcpy(&v, block.View(), sizeof v);
  return v;
}

TEST(SharedMemory, NewBlockIsZeroFilledAndSharedBetweenHolders) {
  const std::string name = FreshName("share");
  TSharedMemory first(name.c_str(), 64);
  const auto* bytes = static_cast<const unsigned char*>(first.View());
  for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;

  const uint32_t value = 0x12345678;
  std::memcpy(first.View(), &value, sizeof value);
  TSharedMemory second(name.c_str(), 64);
  EXPECT_NE(second.View(), first.View());
  EXPECT_EQ(ReadWord(second), value);

  // Writes go both ways.
  const uint32_t other = 0xCAFEF00D;
  std::memcpy(second.View(), &other, sizeof other);
  EXPECT_EQ(ReadWord(first), other);
}

TEST(SharedMemory, BlockLivesExactlyAsLongAsAHolder) {
  const std::string name = FreshName("life");
  const uint32_t value = 0x0BADBEEF;
  {
    TSharedMemory first(name.c_str(), InstanceMemorySize);
    std::memcpy(first.View(), &value, sizeof value);
    {
      TSharedMemory second(name.c_str(), InstanceMemorySize);
    }
    // One holder left: the content survives the other one's close.
    TSharedMemory third(name.c_str(), InstanceMemorySize);
    EXPECT_EQ(ReadWord(third), value);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ReadRunningWindow(name.c_str())), value);
  }
  // The last holder has gone: the object and its content are gone.
  TSharedMemory again(name.c_str(), InstanceMemorySize);
  EXPECT_EQ(ReadWord(again), 0u);
}

TEST(SharedMemory, ReadRunningWindowOfAFreshNameIsNullAndLeavesNoBlock) {
  const std::string name = FreshName("read");
  EXPECT_EQ(ReadRunningWindow(name.c_str()), nullptr);
  // The reading closed what it created.
  HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  EXPECT_EQ(h, nullptr);
  if (h != nullptr) CloseHandle(h);
}

TEST(SharedMemory, SetNullDaclOnAnExistingMappingSucceeds) {
  const std::string name = FreshName("dacl");
  TSharedMemory block(name.c_str(), InstanceMemorySize);
  EXPECT_EQ(SetNullDacl(name.c_str()), static_cast<DWORD>(ERROR_SUCCESS));
  // The object is still usable afterwards, also by a second opener.
  TSharedMemory second(name.c_str(), InstanceMemorySize);
  EXPECT_NE(second.View(), nullptr);
}

TEST(SharedMemory, FailuresRaiseTheOSError) {
  // A name with a backslash names a namespace that does not exist.
  try {
    TSharedMemory block("NoSuchNamespace\\horalog-test", InstanceMemorySize);
    ADD_FAILURE() << "construction succeeded";
  } catch (const EOSError& e) {
    EXPECT_NE(e.Code(), 0u);
    EXPECT_EQ(std::string(e.what()).rfind("System Error.  Code: ", 0), 0u) << e.what();
  }
  // A zero size for a new paging-file block is refused by the system.
  try {
    TSharedMemory block(FreshName("zero").c_str(), 0);
    ADD_FAILURE() << "construction succeeded";
  } catch (const EOSError& e) {
    EXPECT_NE(e.Code(), 0u);
  }
}

TEST(SharedMemory, PlatformFamilyIsNT) {
  // Every system this program still runs on is of the NT family, Wine included.
  EXPECT_TRUE(IsWindowsNTFamily());
}

}  // namespace
}  // namespace horalog
