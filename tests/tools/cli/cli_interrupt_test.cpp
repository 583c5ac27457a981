// Ctrl+C at any moment leaves the output as it was or complete, and no
// temporary file behind. The moments are spread over the run; what is checked
// holds whenever the signal lands, so the test does not depend on timing.
#include <csignal>
#include <thread>

#include "tests/tools/cli/cli_test_support.h"

namespace qv::testing_cli {
namespace {

class Interrupt : public CliTest {
 protected:
  // A JPEG of noise, big enough that writing it takes a while.
  void MakeBigPicture() {
    const TRun made = RunProgram(
        {"sh", "-c",
         "{ printf 'P6\\n1400 1400\\n255\\n'; head -c 5880000 /dev/urandom; } | cjpeg -quality 100 "
         "> \"$1\"",
         "sh", Path("big.jpg")},
        dir_);
    ASSERT_EQ(made.status, 0) << made.err;
  }

  // Runs `args` again and again, interrupting each run a little later than the
  // last, and checks what each interrupted run left.
  void InterruptRepeatedly(const std::vector<std::string>& args, const std::string& output,
                           const std::string& complete, const std::vector<std::string>& inputs) {
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), QUORVANE_HEX);
    int interrupted = 0;
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(round);
      WriteFile(Path(output), "old");
      const pid_t pid = Start(argv, dir_);
      std::this_thread::sleep_for(std::chrono::milliseconds(5 + 15 * round));
      kill(pid, SIGINT);
      const TRun run = Finish(pid, dir_);
      if (run.signal == SIGINT) {
        ++interrupted;
      } else {
        EXPECT_EQ(run.status, 0) << run.err;
      }
      const std::string left = ReadFile(Path(output));
      EXPECT_TRUE(left == "old" || left == complete) << "output of " << left.size() << " bytes";
      std::vector<std::string> expected = inputs;
      expected.push_back(output);
      EXPECT_EQ(Others(expected), std::vector<std::string>{});
    }
    // A run ends by the signal as a shell expects (and not by a normal exit).
    EXPECT_GT(interrupted, 0);
  }
};

TEST_F(Interrupt, ToHexLeavesNoHalfWrittenText) {
  MakeBigPicture();
  InterruptRepeatedly({"to-hex", Path("big.jpg"), "-o", Path("big.hex")}, "big.hex",
                      OdHex(Path("big.jpg")), {"big.jpg"});
}

TEST_F(Interrupt, ToJPEGLeavesNoHalfWrittenPicture) {
  MakeBigPicture();
  WriteFile(Path("big.hex"), OdHex(Path("big.jpg")));
  InterruptRepeatedly({"to-jpeg", Path("big.hex"), "-o", Path("back.jpg")}, "back.jpg",
                      ReadFile(Path("big.jpg")), {"big.jpg", "big.hex"});
}

}  // namespace
}  // namespace qv::testing_cli
