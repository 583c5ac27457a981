#include "base/streams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

#include "base/exceptions.h"
#include "base/platform.h"

namespace qv {
namespace {

TEST(MemoryStream, CapacityGrowsToMultiplesOf8192) {
  struct Case {
    int64_t size, capacity;
  };
  for (Case c : std::vector<Case>{{1, 8192}, {8192, 8192}, {8193, 16384}, {100000, 106496}}) {
    TMemoryStream stream;
    stream.SetSize(c.size);
    EXPECT_EQ(stream.Size(), c.size);
    EXPECT_EQ(stream.Capacity(), c.capacity) << c.size;
  }
}

TEST(MemoryStream, CapacityEqualToSizeIsTakenExactly) {
  TMemoryStream stream;
  stream.SetSize(100);
  EXPECT_EQ(stream.Capacity(), 8192);
  stream.SetCapacity(100);
  EXPECT_EQ(stream.Capacity(), 100);
  stream.SetCapacity(0);
  EXPECT_EQ(stream.Capacity(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(MemoryStream, WritePastEndGrowsAndKeepsContent) {
  TMemoryStream stream;
  std::vector<uint8_t> data(20000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  stream.WriteBuffer(data.data(), 5);
  EXPECT_EQ(stream.Capacity(), 8192);
  stream.WriteBuffer(data.data() + 5, static_cast<int64_t>(data.size()) - 5);
  EXPECT_EQ(stream.Size(), 20000);
  EXPECT_EQ(stream.Capacity(), 24576);
  EXPECT_EQ(std::memcmp(stream.Memory(), data.data(), data.size()), 0);
  EXPECT_EQ(stream.Position(), 20000);
}

TEST(MemoryStream, ReadCopiesAtMostToTheEnd) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetPosition(4);
  char out[10] = {};
  EXPECT_EQ(stream.Read(out, 10), 2);
  EXPECT_EQ(std::string(out), "ef");
  EXPECT_EQ(stream.Read(out, 10), 0);
  stream.SetPosition(100);
  EXPECT_EQ(stream.Read(out, 1), 0);
  stream.SetPosition(-5);
  EXPECT_EQ(stream.Read(out, 1), 0);
}

TEST(MemoryStream, ShortFixedReadRaisesReadError) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(1);
  char out[4];
  try {
    stream.ReadBuffer(out, 3);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
}

TEST(MemoryStream, ShrinkingMovesPositionToEnd) {
  TMemoryStream stream;
  stream.SetSize(50);
  stream.SetPosition(40);
  stream.SetSize(10);
  EXPECT_EQ(stream.Position(), 10);
}

TEST(MemoryStream, ImpossibleSizesRaiseOutOfMemory) {
  for (int64_t size : {int64_t{-1}, std::numeric_limits<int64_t>::max(),
                       static_cast<int64_t>(PhysicalMemoryLimit()) + 1}) {
    TMemoryStream stream;
    stream.WriteBuffer("x", 1);
    try {
      stream.SetSize(size);
      FAIL() << size;
    } catch (const EOutOfMemory& e) {
      EXPECT_EQ(e.Message(), "Out of memory");
    }
    // The stream is as it was.
    EXPECT_EQ(stream.Size(), 1);
    EXPECT_EQ(stream.Memory()[0], 'x');
  }
}

TEST(FileStream, ReadsFileAndReportsOpenFailure) {
  const std::string path = testing::TempDir() + "/qv_stream_test.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << "hello";
  }
  TMemoryStream stream;
  stream.LoadFromFile(path);
  ASSERT_EQ(stream.Size(), 5);
  EXPECT_EQ(std::memcmp(stream.Memory(), "hello", 5), 0);

  // The message ends in the system's own text for the failure; Linux's is
  // pinned, Windows words it by version and language (and Wine its own way).
  const auto system_text = [](const std::string& path) {
    errno = 0;
    EXPECT_LT(OpenFileForReading(path), 0) << path;
    return SystemErrorText(errno);
  };
  try {
    TFileStream missing("no/such/./dir/../file.jpg");
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + FullPathName("no/such/file.jpg") + "\". " +
                               system_text("no/such/file.jpg"));
#ifdef _WIN32
    EXPECT_EQ(FullPathName("no/such/file.jpg").substr(1, 2), ":\\");
#else
    EXPECT_EQ(system_text("no/such/file.jpg"), "No such file or directory");
    EXPECT_EQ(FullPathName("no/such/file.jpg").front(), '/');
#endif
  }
  try {
    TFileStream directory(testing::TempDir());
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + FullPathName(testing::TempDir()) + "\". " +
                               system_text(testing::TempDir()));
#ifndef _WIN32
    EXPECT_NE(e.Message().find("Is a directory"), std::string::npos) << e.Message();
#endif
  }
}

TEST(Platform, SystemErrorTextDropsTrailingFullStopsAndBlanks) {
  for (int error = 1; error < 134; ++error) {
    const std::string text = SystemErrorText(error);
    ASSERT_FALSE(text.empty());
    const char last = text.back();
    EXPECT_NE(last, '.');
    EXPECT_GT(static_cast<unsigned char>(last), ' ');
  }
}

}  // namespace
}  // namespace qv
