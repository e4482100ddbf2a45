#include "io/FileRead.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestSupport.h"

namespace entorra {
namespace {

using testing::CTempDir;

constexpr std::size_t kAnySize = std::size_t{1} << 30;

TEST(ReadTextFile, ReadsAFileWholeWithItsNulBytesAndLineEnds) {
    CTempDir dir;
    const std::string text("{\r\n\"a\" \"b\"\r\n}\n\0tail", 19);
    std::ofstream(dir.File("a.ent"), std::ios::binary) << text;
    const Result<std::string> read = ReadTextFile(RealFileSystem(), dir.File("a.ent"), kAnySize);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, text);

    std::ofstream(dir.File("empty.ent"), std::ios::binary).flush();
    EXPECT_EQ(ReadTextFile(RealFileSystem(), dir.File("empty.ent"), kAnySize).Value(), "");
}

TEST(ReadTextFile, RefusesAFileLargerThanTheLimitWithoutReadingIt) {
    CTempDir dir;
    const std::string text(1000, 'e');
    std::ofstream(dir.File("a.ent"), std::ios::binary) << text;
    EXPECT_EQ(ReadTextFile(RealFileSystem(), dir.File("a.ent"), 1000).Value(), text);
    const Result<std::string> larger = ReadTextFile(RealFileSystem(), dir.File("a.ent"), 999);
    ASSERT_FALSE(larger);
    EXPECT_EQ(larger.Error().code, EFBIG);
    EXPECT_EQ(larger.Error().message, "larger than 999 bytes");

    // A file refused for its size is not read at all.
    testing::CFaultyFileSystem faulty;
    faulty.FailAt(testing::FileStep::Read);
    EXPECT_EQ(ReadTextFile(faulty, dir.File("a.ent"), 999).Error().code, EFBIG);
    EXPECT_FALSE(faulty.Triggered());
}

TEST(ReadTextFile, RefusesAFolder) {
    CTempDir dir;
    std::filesystem::create_directory(dir.Path() / "maps");
    const Result<std::string> folder = ReadTextFile(RealFileSystem(), dir.File("maps"), kAnySize);
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.Error().code, EISDIR);
    EXPECT_EQ(folder.Error().message, "not a file: a folder");
}

#if !defined(_WIN32)
// Writes text into a pipe's write end and closes it; a reader that leaves early costs the
// writer EPIPE, not the test process a SIGPIPE.
void WriteAndClose(int descriptor, const std::string& text) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(descriptor, text.data() + written, text.size() - written);
        if (put <= 0) {
            break;
        }
        written += static_cast<std::size_t>(put);
    }
    ::close(descriptor);
}

TEST(ReadTextFile, ReadsAPipeToItsEnd) {
    CTempDir dir;
    const std::string fifo = dir.File("pipe.ent");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string text(100000, 'e');
    std::jthread writer([&] { testing::FeedPipe(fifo, text); });
    const Result<std::string> read = ReadTextFile(RealFileSystem(), fifo, kAnySize);
    ASSERT_TRUE(read) << read.Error().message;
    EXPECT_EQ(*read, text);
}

// What the shell hands over for "<(command)": a pipe whose writer is there from the start.
TEST(ReadTextFile, ReadsAPipeAProgramWritesTo) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string text(300000, 'p');
    std::jthread writer([&] { WriteAndClose(ends[1], text); });
    const Result<std::string> read =
        ReadTextFile(RealFileSystem(), "/proc/self/fd/" + std::to_string(ends[0]), kAnySize);
    ::close(ends[0]);
    ASSERT_TRUE(read) << read.Error().message;
    EXPECT_EQ(*read, text);
}

// A writer that opened the pipe and says nothing for longer than the reader waits for one.
TEST(ReadTextFile, WaitsForAWriterThatIsThereButSilent) {
    CTempDir dir;
    const std::string fifo = dir.File("slow.ent");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::jthread writer([&] {
        int descriptor = -1;
        while ((descriptor = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::fcntl(descriptor, F_SETFL, 0);
        WriteAndClose(descriptor, "{\n}\n");
    });
    const Result<std::string> read = ReadTextFile(RealFileSystem(), fifo, kAnySize);
    ASSERT_TRUE(read) << read.Error().message;
    EXPECT_EQ(*read, "{\n}\n");
}

// Nothing that would keep a run waiting without end, or reading without end, is read.
TEST(ReadTextFile, RefusesANamedPipeNobodyWritesToAndDevices) {
    CTempDir dir;
    const std::string fifo = dir.File("nobody.ent");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Result<std::string> unwritten = ReadTextFile(RealFileSystem(), fifo, kAnySize);
    ASSERT_FALSE(unwritten);
    EXPECT_EQ(unwritten.Error().code, ENXIO);
    EXPECT_EQ(unwritten.Error().message, "a named pipe that no program writes to");

    for (const char* device : {"/dev/zero", "/dev/null"}) {
        const Result<std::string> read = ReadTextFile(RealFileSystem(), device, kAnySize);
        ASSERT_FALSE(read) << device;
        EXPECT_EQ(read.Error().code, ENODEV) << device;
        EXPECT_EQ(read.Error().message, "not a file: a device");
    }
}

TEST(ReadTextFile, ReadsAPipeNoFurtherThanOneBytePastTheLimit) {
    // The writer goes on and is left to fail.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string endless(4 * 1024 * 1024, 'z');
    std::jthread writer([&] { WriteAndClose(ends[1], endless); });
    const Result<std::string> cut =
        ReadTextFile(RealFileSystem(), "/proc/self/fd/" + std::to_string(ends[0]), 1024 * 1024);
    ::close(ends[0]);
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.Error().code, EFBIG);
    EXPECT_EQ(cut.Error().message, "larger than 1 MiB");
}

#else

// A named pipe served by a thread that writes text and closes it, as a program piping its
// output would; the name is unique to the test.
class CPipeServer {
public:
    explicit CPipeServer(std::string text) {
        static std::atomic<int> count{0};
        m_strName = "\\\\.\\pipe\\entorra-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(count++);
        const std::wstring wide(m_strName.begin(), m_strName.end());
        m_hPipe = ::CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     1, 64 * 1024, 0, 0, nullptr);
        m_writer = std::jthread([this, text = std::move(text)] {
            if (::ConnectNamedPipe(m_hPipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
                std::size_t written = 0;
                while (written < text.size()) {
                    DWORD put = 0;
                    const auto chunk =
                        static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 64 * 1024));
                    if (!::WriteFile(m_hPipe, text.data() + written, chunk, &put, nullptr)) {
                        break;
                    }
                    written += put;
                }
                // Closing without disconnecting: the reader gets what is in the pipe, then its end.
                ::FlushFileBuffers(m_hPipe);
            }
            ::CloseHandle(m_hPipe);
        });
    }
    const std::string& Name() const { return m_strName; }
    bool Created() const { return m_hPipe != INVALID_HANDLE_VALUE; }

private:
    std::string m_strName;
    HANDLE m_hPipe = INVALID_HANDLE_VALUE;
    std::jthread m_writer;
};

TEST(ReadTextFile, ReadsAPipeAProgramWritesTo) {
    const std::string text(300000, 'p');
    CPipeServer server(text);
    ASSERT_TRUE(server.Created());
    const Result<std::string> read = ReadTextFile(RealFileSystem(), server.Name(), kAnySize);
    ASSERT_TRUE(read) << read.Error().message;
    EXPECT_EQ(*read, text);
}

TEST(ReadTextFile, RefusesAPipeNoProgramServesAndDevices) {
    const Result<std::string> unserved =
        ReadTextFile(RealFileSystem(), "\\\\.\\pipe\\entorra-test-nobody", kAnySize);
    ASSERT_FALSE(unserved);
    EXPECT_EQ(unserved.Error().code, ENOENT);

    for (const char* device : {"NUL", "\\\\.\\NUL", "nul.ent"}) {
        const Result<std::string> read = ReadTextFile(RealFileSystem(), device, kAnySize);
        ASSERT_FALSE(read) << device;
        EXPECT_EQ(read.Error().code, ENODEV) << device;
        EXPECT_EQ(read.Error().message, "not a file: a device");
    }
}

TEST(ReadTextFile, ReadsAPipeNoFurtherThanOneBytePastTheLimit) {
    CPipeServer server(std::string(4 * 1024 * 1024, 'z'));
    ASSERT_TRUE(server.Created());
    const Result<std::string> cut = ReadTextFile(RealFileSystem(), server.Name(), 1024 * 1024);
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.Error().code, EFBIG);
    EXPECT_EQ(cut.Error().message, "larger than 1 MiB");
}

#endif

TEST(ReadTextFile, SaysWhyAMissingFileCannotBeRead) {
    CTempDir dir;
    const Result<std::string> missing =
        ReadTextFile(RealFileSystem(), dir.File("missing.ent"), kAnySize);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.Error().code, ENOENT);
#if defined(_WIN32)
    const std::string operation = "CreateFileW: ";
#else
    const std::string operation = "open: ";
#endif
    EXPECT_EQ(missing.Error().message.rfind(operation, 0), 0u) << missing.Error().message;
}

class FailedTextRead : public ::testing::TestWithParam<testing::FileStep> {};

TEST_P(FailedTextRead, GivesTheFailureOfTheStep) {
    CTempDir dir;
    std::ofstream(dir.File("a.ent"), std::ios::binary) << "{\n}\n";
    testing::CFaultyFileSystem faulty;
    faulty.FailAt(GetParam());
    const Result<std::string> failed = ReadTextFile(faulty, dir.File("a.ent"), kAnySize);
    EXPECT_TRUE(faulty.Triggered());
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.Error().code, EIO);
}

INSTANTIATE_TEST_SUITE_P(ReadTextFile, FailedTextRead,
                         ::testing::Values(testing::FileStep::OpenForReading,
                                           testing::FileStep::Read),
                         [](const auto& test) {
                             return testing::TestName(testing::FileStepName(test.param));
                         });

}  // namespace
}  // namespace entorra
