// Where tessivor-cli's output goes wrong: a full disk, a closed stdout, a reader that went
// away, Ctrl-C and TERM, a file size limit. Each runs the built tessivor-cli in a child whose
// stdout, limits and signals the test sets.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// How the child is started: its arguments, then what the setters change.
struct Spawn {
    explicit Spawn(std::vector<std::string> a) : args(std::move(a)) {}
    Spawn& stdinFrom(std::string path) { return in = std::move(path), *this; }
    Spawn& stdoutTo(std::string what) { return out = std::move(what), *this; }
    Spawn& sigpipeIgnored(bool ignored) { return ignoreSigpipe = ignored, *this; }
    Spawn& fileSize(rlim_t bytes) { return fileSizeLimit = bytes, *this; }
    Spawn& addressSpace(rlim_t bytes) { return addressSpaceLimit = bytes, *this; }
    Spawn& cpuTime(rlim_t seconds) { return cpuSeconds = seconds, *this; }
    Spawn& during(std::function<void(pid_t)> f) { return whileRunning = std::move(f), *this; }

    std::vector<std::string> args;
    std::string in = "/dev/null";
    /// stdout: a file name; "" for a file the test reads back, "closed" for no stdout at all,
    /// "broken-pipe" for a pipe whose reader has gone, "pipe" for a pipe the test reads back
    /// (up to its 64 KiB).
    std::string out;
    bool ignoreSigpipe = false;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    rlim_t addressSpaceLimit = RLIM_INFINITY;
    rlim_t cpuSeconds = RLIM_INFINITY;
    /// Called once the child runs (to send it a signal); the child's pid.
    std::function<void(pid_t)> whileRunning;
};

struct Outcome {
    int status = -1; ///< the exit status, or 128 + the signal that ended the child
    std::string out, err;
};

class CliOutput : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tessivor-output-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    Outcome cli(const Spawn& s) {
        const fs::path outPath = s.out.empty() ? dir_ / "stdout" : fs::path(s.out);
        const fs::path errPath = dir_ / "stderr";
        std::vector<std::string> argv{TESSIVOR_CLI};
        argv.insert(argv.end(), s.args.begin(), s.args.end());
        int pipeFds[2] = {-1, -1};
        if (s.out == "broken-pipe" || s.out == "pipe") {
            if (pipe(pipeFds) != 0) return {};
            if (s.out == "broken-pipe") {
                close(pipeFds[0]);
                pipeFds[0] = -1;
            }
        }
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open(s.in.c_str(), O_RDONLY);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || err < 0) _exit(125);
            dup2(in, 0);
            dup2(err, 2);
            if (s.out == "closed") {
                close(1);
            } else if (s.out == "broken-pipe" || s.out == "pipe") {
                dup2(pipeFds[1], 1);
                if (pipeFds[0] >= 0) close(pipeFds[0]);
            } else {
                const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (out < 0) _exit(125);
                dup2(out, 1);
            }
            std::signal(SIGPIPE, s.ignoreSigpipe ? SIG_IGN : SIG_DFL);
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{s.fileSizeLimit, s.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &size);
            const rlimit space{s.addressSpaceLimit, s.addressSpaceLimit};
            setrlimit(RLIMIT_AS, &space);
            // SIGXCPU at the soft limit; the hard one, later, would be SIGKILL.
            const rlimit cpu{s.cpuSeconds,
                             s.cpuSeconds == RLIM_INFINITY ? RLIM_INFINITY : s.cpuSeconds + 5};
            setrlimit(RLIMIT_CPU, &cpu);
            std::vector<char*> raw;
            for (auto& a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            execv(raw[0], raw.data());
            _exit(126);
        }
        if (pipeFds[1] >= 0) close(pipeFds[1]);
        Outcome o;
        if (pid < 0) return o;
        if (s.whileRunning) s.whileRunning(pid);
        // A child that hangs fails the test instead of hanging it.
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
            if (waited == 3000) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "tessivor-cli did not end within 30 s";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (s.out.empty()) o.out = readAll(outPath);
        if (s.out == "pipe") {
            char buffer[4096];
            for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
                o.out.append(buffer, static_cast<std::size_t>(n));
            close(pipeFds[0]);
        }
        o.err = readAll(errPath);
        return o;
    }

    fs::path dir_;
};

// "hi" shown, then a jump to label 1 for ever.
constexpr const char* kShowThenLoop = "a01sAhAia01wa02sA1 va02u\r\n";

TEST_F(CliOutput, AFailedWriteOfStdoutEndsTheRunWithStatus73) {
    const std::string hello = file("hello.tsp", "a01sAhAia01wp\r\n").string();
    Outcome o = cli(Spawn({"run", hello}).stdoutTo("/dev/full"));
    EXPECT_EQ(o.status, 73);
    // The message box writes to stderr after stdout is flushed: the flush fails first.
    EXPECT_EQ(o.err, "tessivor-cli run: cannot write <stdout>: No space left on device\n");
    o = cli(Spawn({"run", "--events", hello}).stdoutTo("closed"));
    EXPECT_EQ(o.status, 73);
    EXPECT_EQ(o.err, "tessivor-cli run: cannot write <stdout>: Bad file descriptor\n");
    // A program that shows text for ever stops at the first write that fails.
    const std::string forever = file("forever.tsp", "a01sAh va01wa02sA1a02u\r\n").string();
    o = cli(Spawn({"run", forever}).stdoutTo("/dev/full"));
    EXPECT_EQ(o.status, 73);
    EXPECT_EQ(o.err, "tessivor-cli run: cannot write <stdout>: No space left on device\n");
}

// A check whose report does not reach its reader has failed, whatever the report says.
TEST_F(CliOutput, ACheckWhoseReportIsLostEndsWithStatus73) {
    const std::string clean = file("clean.tsasm", "set 01, Hi;\r\ndsp 01\r\nend\r\n").string();
    const std::string slip = file("slip.tsasm", "dsp 1\r\nend\r\n").string();
    struct Case {
        std::vector<std::string> args;
        std::string out;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{"check", clean}, "/dev/full", "No space left on device"},
        {{"check", slip}, "/dev/full", "No space left on device"},
        {{"check", "--format", "json", slip}, "/dev/full", "No space left on device"},
        {{"check", clean}, "closed", "Bad file descriptor"},
    };
    for (const Case& c : cases) {
        const Outcome o = cli(Spawn(c.args).stdoutTo(c.out));
        EXPECT_EQ(o.status, 73) << c.args[1] << " > " << c.out;
        EXPECT_EQ(o.err, "tessivor-cli check: cannot write <stdout>: " + c.reason + "\n")
            << c.args[1];
    }
    // Nothing to write is no failure: a clean file in JSON prints nothing.
    EXPECT_EQ(cli(Spawn({"check", "--format", "json", clean}).stdoutTo("/dev/full")).status, 0);
}

// -o /dev/stdout names the output the command already has: the program goes there, after
// anything written before, instead of replacing the file stdout was sent to.
TEST_F(CliOutput, AProgramFileNamedDevStdoutGoesToStdout) {
    const std::string source = file("hello.tsasm", "set 01, Hi;\r\ndsp 01\r\nend\r\n").string();
    for (const char* out : {"", "pipe"}) {
        const Outcome o = cli(Spawn({"build", "-o", "/dev/stdout", source}).stdoutTo(out));
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out, "a01sAHAia01wp\r\n") << out;
        EXPECT_EQ(o.err, "") << out;
    }
}

TEST_F(CliOutput, AClosedPipeEndsTheRunQuietlyEvenWithSigpipeIgnored) {
    const std::string forever = file("forever.tsp", "a01sAh va01wa02sA1a02u\r\n").string();
    for (const bool ignore : {false, true}) {
        const Outcome o =
            cli(Spawn({"run", forever}).stdoutTo("broken-pipe").sigpipeIgnored(ignore));
        EXPECT_EQ(o.status, 128 + SIGPIPE) << ignore;
        EXPECT_EQ(o.err, "") << ignore;
    }
}

TEST_F(CliOutput, CtrlCAndTermKeepWhatWasShownAndCloseTheEventStream) {
    const std::string loop = file("loop.tsp", kShowThenLoop).string();
    const auto after = [](int signal) {
        return [signal](pid_t pid) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            kill(pid, signal);
        };
    };
    Outcome o = cli(Spawn({"run", loop}).during(after(SIGINT)));
    EXPECT_EQ(o.status, 130);
    EXPECT_EQ(o.out, "hi\n");
    EXPECT_EQ(o.err, "tessivor-cli run: stopped by SIGINT\n");

    o = cli(Spawn({"run", "--events", loop}).during(after(SIGTERM)));
    EXPECT_EQ(o.status, 143);
    EXPECT_THAT(o.out, HasSubstr("{\"display\": \"hi\"}\n"));
    EXPECT_THAT(o.out, EndsWith("{\"end\": \"interrupted\", \"signal\": \"SIGTERM\"}\n"));

    // While an input box waits for its reply on a pipe that never gives one.
    const std::string ask = file("ask.tsp", "a01sANa01ba02oa02wp\r\n").string();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    o = cli(Spawn({"run", ask})
                .stdinFrom("/proc/self/fd/" + std::to_string(fds[0]))
                .during(after(SIGINT)));
    close(fds[0]);
    close(fds[1]);
    EXPECT_EQ(o.status, 130);
    EXPECT_EQ(o.err, "N\ntessivor-cli run: stopped by SIGINT\n");
}

TEST_F(CliOutput, ThePromptEndsItsLineWhenStdinIsNoTerminal) {
    const std::string ask = file("ask.tsp", "a01sANa01ba02oa02wp\r\n").string();
    const Outcome o = cli(Spawn({"run", ask}).stdinFrom(file("reply.txt", "x\n").string()));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "x\n");
    EXPECT_EQ(o.err, "N\nProgram Terminated\n");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define TESSIVOR_LIMITS_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define TESSIVOR_LIMITS_ADDRESS_SPACE 1
#endif
#endif

// Two cells of 64 MiB control characters are 768 MiB of JSON: written a cell at a time, and
// each cell a piece at a time, the end object never needs that much memory at once.
TEST_F(CliOutput, TheEndObjectIsWrittenACellAtATime) {
#if !defined(TESSIVOR_LIMITS_ADDRESS_SPACE)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit";
#else
    // A reply of one control character (the machine reads none from the code string), doubled
    // up to the cell limit, then copied.
    std::string code = "a00ba01o";
    for (int i = 0; i < 26; ++i)
        code += "a01ba01x";
    code += "a01ba02zp\r\n";
    const std::string full = file("full.tsp", code).string();
    const Outcome o = cli(Spawn({"run", "--events", full})
                              .stdinFrom(file("reply.txt", "\x01\n").string())
                              .stdoutTo("/dev/null")
                              .addressSpace(rlim_t{700} << 20));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
#endif
}

// A program's tables that do not fit in the memory: one line and status 70, no abort.
TEST_F(CliOutput, MemoryThatRunsOutEndsWithOneLineAndStatus70) {
#if !defined(TESSIVOR_LIMITS_ADDRESS_SPACE)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit";
#else
    const std::string big = file("big.tsp", std::string(50'000'000, ' ')).string();
    for (const char* command : {"run", "disasm"}) {
        const Outcome o = cli(Spawn({command, big}).stdoutTo("/dev/null").addressSpace(200 << 20));
        EXPECT_EQ(o.status, 70) << command;
        EXPECT_EQ(o.err, std::string("tessivor-cli ") + command + ": out of memory\n");
    }
#endif
}

TEST_F(CliOutput, AFailedBuildKeepsTheOldProgramFile) {
    const fs::path source = file("big.tsasm", "set 01, " + std::string(60'000, 'x') + ";\r\n");
    const fs::path program = file("big.tsp", "old program\r\n");
    const Outcome o =
        cli(Spawn({"build", "-o", program.string(), source.string()}).fileSize(100'000));
    EXPECT_EQ(o.status, 73);
    EXPECT_EQ(o.err, "tessivor-cli build: cannot write " + program.string() + ": File too large\n");
    EXPECT_EQ(readAll(program), "old program\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4);
}

// A program file longer than run and disasm read is never written.
TEST_F(CliOutput, BuildRefusesAProgramTooLongToRun) {
    const fs::path source =
        file("long.tsasm", "set 01, " + std::string(std::size_t{128} << 20, 'x') + ";\r\n");
    const fs::path program = file("long.tsp", "old program\r\n");
    const Outcome o = cli(Spawn({"build", "-o", program.string(), source.string()}));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "tessivor-cli build: " + source.string() +
                         ": the program would take 268435462 bytes, more than the 268435456 a "
                         "program file may have; nothing written\n");
    EXPECT_EQ(readAll(program), "old program\r\n");
}

TEST_F(CliOutput, BuildingASourceFromStdinOverItselfIsRefused) {
    const fs::path source = file("self.tsasm", "end\r\n");
    const Outcome o = cli(Spawn({"build", "-o", source.string(), "-"}).stdinFrom(source.string()));
    EXPECT_EQ(o.status, 64);
    EXPECT_THAT(o.err, HasSubstr("would overwrite its own source"));
    EXPECT_EQ(readAll(source), "end\r\n");
}

// One command line for every command: the same forms and the same words for the same mistakes.
TEST_F(CliOutput, EveryCommandReadsItsOptionsAlike) {
    const std::string program = file("p.tsp", "p\r\n").string();
    const std::string source = file("p.tsasm", "end\r\n").string();
    const auto usage = [](const std::string& command, const std::string& message) {
        return "tessivor-cli " + command + ": " + message + "\nTry 'tessivor-cli " + command +
               " --help'.\n";
    };
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        // "--" ends the options in every command, and "--opt=value" is "--opt value".
        {{"run", "--", program}, 0, "Program Terminated\n"},
        {{"run", "--max-steps=1", "--seed=7", program}, 0, "Program Terminated\n"},
        {{"disasm", "--", program}, 0, ""},
        {{"build", "-o", "-", "--", source}, 0, ""},
        // A value option given twice is an error in every command, and so is an empty value.
        {{"run", "--max-steps", "5", "--max-steps=6", program},
         64,
         usage("run", "--max-steps given twice")},
        {{"run", "--seed", "1", "--seed", "2", program}, 64, usage("run", "--seed given twice")},
        {{"build", "-o", "a.tsp", "-o", "b.tsp", source}, 64, usage("build", "-o given twice")},
        {{"build", "-o", "", source}, 64, usage("build", "-o needs a file name")},
        {{"run", "--max-steps", program},
         64,
         usage("run", "--max-steps needs a whole number above 0")},
        {{"run", "--max-steps", "--events", program},
         64,
         usage("run", "--max-steps needs a whole number above 0")},
        {{"run", "--max-steps=0", program},
         64,
         usage("run", "--max-steps needs a whole number above 0")},
        {{"run", "--seed=x", program}, 64, usage("run", "--seed needs a whole number")},
        {{"build", "-o"}, 64, usage("build", "-o needs a file name")},
        {{"run", "--frobnicate", program}, 64, usage("run", "unknown option '--frobnicate'")},
        {{"disasm", "-x", program}, 64, usage("disasm", "unknown option '-x'")},
        {{"build", source, source}, 64, usage("build", "one source file at a time")},
        {{"disasm", "--"}, 64, usage("disasm", "no program file given")},
        // stdin is "-" in every message.
        {{"build", "-"}, 66, "tessivor-cli build: cannot read -: Is a directory\n"},
        {{"disasm", "-"}, 66, "tessivor-cli disasm: cannot read -: Is a directory\n"},
        {{"run", "-"}, 66, "tessivor-cli run: -: Is a directory\n"},
    };
    for (const Case& c : cases) {
        const Outcome o = cli(Spawn(c.args).stdinFrom(dir_.string()));
        std::string shown;
        for (const auto& a : c.args)
            shown += " '" + a + "'";
        EXPECT_EQ(o.status, c.status) << shown;
        EXPECT_EQ(o.err, c.err) << shown;
    }
    EXPECT_FALSE(fs::exists(dir_ / "a.tsp"));
    // --help still shows each command's text.
    for (const char* command : {"run", "build", "disasm"}) {
        const Outcome o = cli(Spawn({command, "--help"}));
        EXPECT_EQ(o.status, 0);
        EXPECT_THAT(o.out, ::testing::StartsWith(std::string("usage: tessivor-cli ") + command));
    }
}

// One line that holds every finding: the listing walks the line once, not once a finding. Here
// 200,000 findings stand at the end of one line of 16 MB (build checks up to 16 MiB): about a
// second of processor time, where a walk of the line per finding takes minutes.
TEST_F(CliOutput, ALongLineIsCheckedInBoundedTime) {
#if defined(TESSIVOR_LIMITS_ADDRESS_SPACE)
    const rlim_t seconds = 10;
#else
    const rlim_t seconds = 40; // the sanitizers' own work
#endif
    std::string line(16'000'000, ' ');
    for (int i = 0; i < 100'000; ++i)
        line += "dsp 1";
    const std::string source = file("long.tsasm", line).string();
    Outcome o = cli(Spawn({"check", source}).stdoutTo("/dev/null").cpuTime(seconds));
    EXPECT_EQ(o.status, 0) << "128 + 24 is SIGXCPU";
    o = cli(Spawn({"build", "-o", (dir_ / "long.tsp").string(), source}).cpuTime(seconds));
    EXPECT_EQ(o.status, 0) << "128 + 24 is SIGXCPU";
    EXPECT_THAT(o.err, HasSubstr("[operand-digits]"));
}

// Replies and command lines from a source that never ends: a reply stops at the cell limit and
// the machine refuses it, as in `run`; a command line stops at 64 KiB and ends the session.
TEST_F(CliOutput, TheDebuggerReadsRepliesAndCommandsInBoundedMemory) {
#if !defined(TESSIVOR_LIMITS_ADDRESS_SPACE)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit";
#else
    const std::string ask =
        file("ask.tsasm", "set 10, Q?;\r\ninp 10, 01\r\ndsp 01\r\nend\r\n").string();
    const std::string script = file("c.txt", "continue\n").string();
    Outcome o = cli(
        Spawn({"debug", "--input", "/dev/zero", "-x", script, ask}).addressSpace(rlim_t{1} << 30));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_THAT(o.out, HasSubstr("Out of string space byte 16 op 111 o\nProgram Ended\n"));
    EXPECT_THAT(o.out, HasSubstr("the reply is longer than 67108864 characters"));

    o = cli(Spawn({"debug", ask}).stdinFrom("/dev/zero").addressSpace(rlim_t{1} << 30));
    EXPECT_EQ(o.status, 65);
    EXPECT_EQ(o.err, "tessivor-cli debug: <stdin>:1: a command line longer than 65536 bytes; "
                     "the session ends here\n");
    // A script's line alike, named by its number.
    const std::string longScript =
        file("long.txt", "stepi\n" + std::string(100'000, 'x') + "\nquit\n").string();
    o = cli(Spawn({"debug", "-x", longScript, ask}));
    EXPECT_EQ(o.status, 65);
    EXPECT_EQ(o.err, "tessivor-cli debug: " + longScript +
                         ":2: a command line longer than 65536 bytes; the session ends here\n");
#endif
}

} // namespace
