// What only a Windows parent process can see of the Windows program: the
// 32-bit exit code, and the share modes its two files are opened with.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/tiny_image.h"
#include "support/wzx_builder.h"

namespace wzx::test {
namespace {

namespace fs = std::filesystem;

// Wine's drive Z: is the Unix root.
std::string windowsPath(const std::string& unixPath) {
    return "Z:" + unixPath;
}

// Runs the program under the probe, which holds the given files first.
RunResult runUnderProbe(const fs::path& dir, const std::vector<std::string>& holds,
                        const std::vector<std::string>& args) {
    std::vector<std::string> all = holds;
    all.push_back("--");
    all.push_back(windowsPath(WZX2BMP_PROGRAM));
    all.insert(all.end(), args.begin(), args.end());
    RunOptions o{dir, ""};
    o.launcher = WZX2BMP_LAUNCHER;
    return runProgram(WZX_RUN_PROBE, all, o);
}

const Bytes kOldOutput = {'o', 'l', 'd'};

TEST(WindowsParent, UsageStatusIsMinusOne) {
    ScratchDir dir;
    RunResult r = runUnderProbe(dir.path(), {}, {});
    EXPECT_EQ(r.out,
              ".wzx to .bmp converter\r\nusage : \r\nwzx2bmp.exe <wzx file name> \r\n\r\n"
              "< hit enter key >\r\nexit code 0xFFFFFFFF\r\n");
}

TEST(WindowsParent, OthersMayReadAndWriteBothFilesMeanwhile) {
    ScratchDir dir;
    writeFile(dir / "x.wzx", tinyImage());
    writeFile(dir / "x.bmp", kOldOutput);
    RunResult r =
        runUnderProbe(dir.path(), {"--hold", "x.wzx", "rw", "--hold", "x.bmp", "rw"}, {"x.wzx"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "< hit enter key >\r\nexit code 0x00000000\r\n");
    EXPECT_EQ(readFile(dir / "x.bmp").size(), 58u) << "54 header bytes and one padded row";
}

// A file that another process holds without sharing cannot be opened.
TEST(WindowsParent, FileHeldExclusivelyIsAnOpenFailure) {
    for (const char* held : {"x.wzx", "x.bmp"}) {
        SCOPED_TRACE(held);
        ScratchDir dir;
        writeFile(dir / "x.wzx", tinyImage());
        writeFile(dir / "x.bmp", kOldOutput);
        RunResult r = runUnderProbe(dir.path(), {"--hold", held, "none"}, {"x.wzx"});
        EXPECT_EQ(r.err, "fopen error\r\n");
        EXPECT_EQ(r.out, "exit code 0x00000001\r\n");
        EXPECT_EQ(readFile(dir / "x.bmp"), kOldOutput);
    }
}

}  // namespace
}  // namespace wzx::test
