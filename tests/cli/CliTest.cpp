// tintweld-cli as a real program, for what only a process shows: exit statuses, streams, names
// and links on a disk, owners, system calls in order, and signals.
#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "tests/support/Models.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Model(uint32_t n, const std::string& colours = "") { return Build(Shape(n, Text(colours))); }
Bytes Merged3(const std::string& own = "") { return Merged(Shape(3, Text(own)), Grey(3)); }
// Merged with --copy-day: the generator's own colours as night colours.
Bytes Copied(uint32_t n) { return Merged(Shape(n), PatternColours(0, n)); }

// The log as standard output shows it; "{}" stands for the folder.
std::string Open(const std::string& name) { return " Opening file: {}/" + name + "\n"; }
std::string Counted(uint32_t n) {
    return " Analyzing file...\n " + std::to_string(n) + " vertex.\n";
}
std::string Refused(const std::string& error) { return " Error: " + error + "\n"; }
std::string Merge(const std::string& name, uint32_t n = 3) {
    return Open(name) + Counted(n) + "\nDFF created: {}/" + name + "\n";
}
// Models' logs, an empty line between two.
std::string Logs(std::initializer_list<std::string> models) {
    std::string log;
    for (const std::string& model : models) log += (log.empty() ? "" : "\n") + model;
    return log;
}
const std::string Already = "File already contain Night Vertex Color.";

// The models' folder, in a temporary folder that also holds .out, .err and .trace.
struct Folder {
    Folder() {
        char pattern[] = "/tmp/tintweld-cli-XXXXXX";
        run = mkdtemp(pattern);
        path = run + "/m";
        fs::create_directory(path);
    }
    ~Folder() { fs::remove_all(run); }

    void Put(const std::string& name, const Bytes& bytes) const {
        fs::create_directories(fs::path(path + "/" + name).parent_path());
        std::ofstream(path + "/" + name) << std::string(bytes.begin(), bytes.end());
    }
    Bytes Get(const std::string& name) const { return Text(Read(name)); }
    std::string Read(const std::string& name) const {
        std::ifstream in(path + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every file below the folder; a link as the path it names.
    std::map<std::string, Bytes> Files() const {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            const std::string name = entry.path().string().substr(path.size() + 1);
            if (entry.is_symlink()) files[name] = Text("-> " + fs::read_symlink(entry).string());
            else if (entry.is_regular_file()) files[name] = Get(name);
        }
        return files;
    }
    // Runs the tool here, names relative: its exit status, its streams in out and err.
    int Run(const std::string& arguments, const std::string& redirect = ">../.out 2>../.err") {
        const int status = std::system(
            ("cd '" + path + "' && " TINTWELD_CLI " " + arguments + " " + redirect).c_str());
        out = Read("../.out");
        err = Read("../.err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Expand(std::string text) const {
        for (size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, path);
        return text;
    }

    std::string run, path, out, err;
};

// A usage error, help and version; then standard output full or closed.
TEST(Cli, UsageHelpVersionAndAFailedLog) {
    Folder folder;
    EXPECT_EQ(folder.Run("a.dff --bogus"), 2);
    EXPECT_EQ(folder.out, "");
    EXPECT_EQ(folder.err, "tintweld-cli: unknown option '--bogus' (see tintweld-cli --help)\n");
    EXPECT_EQ(folder.Run("-h"), 0);
    EXPECT_EQ(folder.out.rfind("Usage: tintweld-cli", 0), 0u);
    // Help at one column, a long name's further.
    EXPECT_NE(folder.out.find(
                  "\n  -e, --every-geometry     night colours for every geometry of a model, "
                  "each\n                             from the night model's geometry of its "
                  "number\n  -s,"),
              std::string::npos);
    EXPECT_NE(folder.out.find("\n  -N, --night-folder=NIGHTS  pair each DAY"), std::string::npos);
    EXPECT_NE(folder.out.find("\n      --scale=R,G,B,A      scale each"), std::string::npos);
    EXPECT_EQ(folder.Run("a.dff --version"), 0);
    EXPECT_EQ(folder.out, "tintweld-cli (Tintweld) " TINTWELD_VERSION "\n");
    for (const char* name : {"a.dff", "b.dff", "c.dff"}) folder.Put(name, Model(3));
    // No count line claims the whole.
    EXPECT_EQ(folder.Run("a.dff c.dff", ">/dev/full 2>../.err"), 1);
    EXPECT_EQ(folder.err, "tintweld-cli: the log could not be written: No space left on device\n");
    EXPECT_EQ(folder.Run("-h", ">/dev/full 2>../.err"), 1);
    EXPECT_EQ(folder.err, "tintweld-cli: standard output: No space left on device\n");
    EXPECT_EQ(folder.Run("b.dff", ">&- 2>../.err"), 1);
    EXPECT_EQ(folder.err,
              "tintweld-cli: standard output is closed: the log could not be written\n");
    EXPECT_EQ(folder.Get("b.dff"), Model(3));
    // A reader gone away: a failed write, not a process ended by SIGPIPE.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // gone with the test, should it be stopped
        dup2(ends[1], 1);
        execl(TINTWELD_CLI, TINTWELD_CLI, (folder.path + "/b.dff").c_str(), nullptr);
        _exit(127);
    }
    close(ends[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

// --json, for each command: every line parsed, and what it says is what the log of the same run
// says; a name that is no UTF-8 comes back whole.
TEST(Cli, JsonLinesSayWhatTheLogSays) {
    for (const char* command : {"-s", "--dry-run", "--strip", "--list", "--preview=../p.png"}) {
        SCOPED_TRACE(command);
        Folder folder;
        for (const char* json : {"", "--json "}) {
            folder.Put("a.dff", Model(3));
            folder.Put("b\x95.dff", Merged3());
            folder.Put("c.dff", Text("junk"));
            folder.Run(json + std::string(command) + " *.dff missing.dff");
            if (!*json) std::ofstream(folder.run + "/.log") << folder.out;
        }
        const std::string list = std::string(command) == "--list" ? " list" : "";
        EXPECT_EQ(std::system(("python3 " JSON_CHECK " '" + folder.run + "/.log' '" + folder.run +
                               "/.out'" + list).c_str()), 0) << folder.out;
    }
}

// A name spelled two ways, a model over the 64 KB read ahead, odd bytes in names, a link kept, a
// link where the temporary file goes never followed, a 600-character path, a read-only model.
TEST(Cli, RealNamesAndLinks) {
    Folder folder;
    const std::string longName = std::string(200, 'a') + "/" + std::string(200, 'b') + "/" +
                                 std::string(190, 'c') + ".dff";
    const std::string odd[] = {"a\\b.dff", "\x95\x5C.dff", "x\ry\nz.dff", longName, "real/c.dff",
                               "a.dff"};
    for (const std::string& name : odd) folder.Put(name, Model(3));
    folder.Put("ro.dff", Model(3));
    folder.Put("big.dff", Model(40000));
    folder.Put("victim", Text("secret"));
    fs::create_directory(folder.path + "/links");
    fs::create_symlink("../real/c.dff", folder.path + "/links/c.dff");
    fs::create_symlink("../victim", folder.path + "/real/c.df~");
    ASSERT_EQ(chmod((folder.path + "/ro.dff").c_str(), 0444), 0);
    std::map<std::string, Bytes> after = folder.Files();
    for (const std::string& name : odd) after[name] = Copied(3);
    after["big.dff"] = Copied(40000);
    EXPECT_EQ(folder.Run("-c a.dff .//a.dff big.dff 'a\\b.dff' \"$(printf '\\225\\134.dff')\" "
                         "x?y?z.dff links/c.dff " + longName + " ro.dff missing.dff"),
              1);
    EXPECT_EQ(folder.out,
              folder.Expand(Logs(
                  {Merge("a.dff"), Open("a.dff") + Counted(3) + Refused(Already),
                   Merge("big.dff", 40000), Merge(odd[0]), Merge(odd[1]), Merge(odd[2]),
                   Merge("links/c.dff"), Merge(longName),
                   Open("ro.dff") + Counted(3) + Refused("Permission denied"),
                   Open("missing.dff") + Refused("No such file or directory")})));
    EXPECT_EQ(folder.err, "tintweld-cli: 7 merged, 0 left as it was, 3 not merged\n");
    EXPECT_TRUE(folder.Files() == after);
}

// Owner, group and mode survive a root run; a new output and folder follow the umask.
TEST(Cli, TheModelKeepsItsOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    Folder folder;
    folder.Put("a.dff", Model(3));
    const std::string a = folder.path + "/a.dff";
    ASSERT_EQ(chown(a.c_str(), 1234, 4321) | chmod(a.c_str(), 0640), 0);
    EXPECT_EQ(
        folder.Run("a.dff", ">/dev/null && umask 077 && " TINTWELD_CLI " -ad a.dff >/dev/null"), 0);
    struct stat model, made, output;
    ASSERT_EQ(stat(a.c_str(), &model) | stat((folder.path + "/dff").c_str(), &made) |
                  stat((folder.path + "/dff/a.dff").c_str(), &output),
              0);
    EXPECT_EQ(std::vector<unsigned>({model.st_uid, model.st_gid, model.st_mode & 07777u,
                                     made.st_mode & 0777u, output.st_mode & 0777u}),
              std::vector<unsigned>({1234, 4321, 0640, 0700, 0600}));
    EXPECT_EQ(folder.Get("a.dff"), Merged3());
    EXPECT_EQ(folder.Get("dff/a.dff"), Merged3());
}

// The temporary file ours alone, flushed before its rename, the folder after; a batch syncs once.
TEST(Cli, OutputsReachTheDiskBeforeTheirNames) {
    Folder folder;
    for (const char* name : {"a.dff", "b.dff", "c.dff"}) folder.Put(name, Model(3));
    for (const char* arguments : {"a.dff", "-j 1 b.dff c.dff"}) {
        // LeakSanitizer, in the sanitizer build, cannot work under strace.
        ASSERT_EQ(std::system(("cd '" + folder.path + "' && ASAN_OPTIONS=detect_leaks=0 strace -f"
                               " -qq -e trace=openat,fsync,syncfs,renameat2 -o ../.trace " TINTWELD_CLI
                               " " + arguments + " >/dev/null 2>&1").c_str()),
                  0)
            << arguments;
        std::istringstream lines(folder.Read("../.trace"));
        std::string calls;
        for (std::string line; std::getline(lines, line);) {
            const auto has = [&](const std::string& text) {
                return line.find(text) != std::string::npos;
            };
            if (has("O_EXCL")) calls += has("O_NOFOLLOW") && has("0600") ? "create;" : "unsafe;";
            for (const char* call : {"fsync", "syncfs"})
                if (has(std::string(" ") + call + "(")) calls += std::string(call) + ";";
            if (has("RENAME_EXCHANGE")) calls += "exchange;";
            if (has("O_DIRECTORY") && has("\"" + folder.path + "\"")) calls += "folder;";
        }
        EXPECT_EQ(calls, std::string(arguments) == "a.dff"
                             ? "create;fsync;exchange;folder;fsync;"
                             : "create;create;syncfs;exchange;exchange;folder;fsync;")
            << arguments;
    }
}

// Waits until done() holds, for ten seconds at most.
bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// A signal while outputs wait (on a full log pipe): they are put in place, a second abandons
// them, nothing starts after, the process ends by the first. A model saved meanwhile is kept.
TEST(Cli, AnInterruptedRunAndAModelSavedMeanwhile) {
    modelgen::ModelShape all = Shape(3);
    all.geometries.resize(1000, all.geometries[0]);
    for (auto& geometry : all.geometries) geometry.nightChunkIndex = 0;
    const int count = 10;
    for (const std::vector<int>& signals :
         {std::vector<int>{}, {SIGTERM}, {SIGHUP}, {SIGINT, SIGTERM}}) {
        SCOPED_TRACE(signals.size() ? strsignal(signals[0]) : "none");
        Folder folder;
        folder.Put("all.dff", Build(all));
        for (int i = 0; i < count; ++i) folder.Put("m" + std::to_string(10 + i) + ".dff", Model(3));
        folder.Put("../saved", Model(7));
        ASSERT_EQ(mkfifo((folder.run + "/.out").c_str(), 0600), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // the program, once exec'd: gone with the test
            execl("/bin/sh", "sh", "-c", ("cd '" + folder.path + "' && exec " TINTWELD_CLI
                                          " -s -e -j 1 . >../.out 2>../.err").c_str(),
                  nullptr);
            _exit(127);
        }
        std::ifstream out(folder.run + "/.out", std::ios::binary);
        ASSERT_TRUE(WaitFor([&] { return folder.Get("m10.df~") == Merged3(); }));
        if (signals.empty()) fs::rename(folder.run + "/saved", folder.path + "/m10.dff");
        for (int signal : signals) {
            ASSERT_EQ(kill(pid, signal), 0);
            ASSERT_TRUE(WaitFor([&] {  // taken by the program: pending no more
                std::ifstream status("/proc/" + std::to_string(pid) + "/status");
                std::string line;
                while (std::getline(status, line) && line.rfind("ShdPnd:", 0) != 0) {}
                return line.find_first_not_of("ShdPnd:\t0") == std::string::npos;
            }));
        }
        const std::string log(std::istreambuf_iterator<char>(out), {});
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        // The models reached: those whose file was opened.
        int reached = -1;
        for (size_t at = 0; (at = log.find("Opening file", at)) != std::string::npos; ++at)
            ++reached;
        EXPECT_GE(reached, 1);
        // After the first model's log, its every geometry left as it is.
        const size_t first = log.find("\n\n Opening file: ");
        std::string expected;
        std::map<std::string, Bytes> after = {{"all.dff", Build(all)}};
        for (int i = 0; i < count; ++i) {
            const std::string name = "m" + std::to_string(10 + i) + ".dff";
            // The model at hand when the signal came is merged only if its output was begun.
            const bool saved = signals.empty() && i == 0,
                       merged = i < reached && !saved && signals.size() < 2 &&
                                (i + 1 < reached || folder.Get(name) == Merged3());
            const std::string why =
                saved ? "File changed while it was merged." : "Interrupted system call";
            if (i < reached)
                expected += "\n" + (merged ? Merge(name) : Open(name) + Counted(3) + Refused(why));
            after[name] = saved ? Model(7) : merged ? Merged3() : Model(3);
        }
        if (!signals.empty())
            expected += "\nInterrupted: " + std::to_string(count - reached) +
                        " models not reached.\n";
        EXPECT_EQ(log.substr(first + 1), folder.Expand(expected));
        EXPECT_TRUE(folder.Files() == after);
        EXPECT_EQ(folder.Read("../.err"),
                  signals.empty() ? "tintweld-cli: 9 merged, 1 left as it was, 1 not merged\n"
                                  : "");
        if (signals.empty()) EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
        else EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signals[0]);
    }
}

}  // namespace
