// The program `vellorn` itself, run from assets/ as scripts/play runs it, with
// the golden scripted run named in its environment (VELLORN_SCRIPT) and its
// last presented frame left in a file (VELLORN_FRAME_FILE): on the headless
// runtime the frame is the stored golden frame, and on the SDL backend under
// a display (Xvfb in CI) the window shows exactly the same pixels. The window
// test is skipped when no display can be opened.
#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "shell/golden_script.h"
#include "support/png_image.h"

extern char** environ;

namespace {

enum class Backend { Headless, Sdl };

// A run that has not ended by then has lost its way.
constexpr auto kRunLimit = std::chrono::seconds(60);

// This process's environment with the runtime's variables replaced.
std::vector<std::string> ProgramEnvironment(Backend backend, const std::string& frameFile) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (!variable.starts_with("VELLORN_RUNTIME=") && !variable.starts_with("VELLORN_SCRIPT=") &&
            !variable.starts_with("VELLORN_FRAME_FILE=")) {
            environment.push_back(variable);
        }
    }
    if (backend == Backend::Headless) {
        environment.push_back("VELLORN_RUNTIME=headless");
    }
    environment.push_back(std::string("VELLORN_SCRIPT=") + kGoldenScript);
    environment.push_back("VELLORN_FRAME_FILE=" + frameFile);
    return environment;
}

// Runs the program from assets/ and returns its exit status, or -1 when it
// did not exit normally in time.
int RunProgram(Backend backend, const std::string& frameFile) {
    std::vector<std::string> environment = ProgramEnvironment(backend, frameFile);
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    char program[] = VELLORN_PROGRAM;
    char* argv[] = {program, nullptr};

    const pid_t child = fork();
    if (child == 0) {
        if (chdir(VELLORN_ASSETS_DIR) == 0) {
            execve(program, argv, envp.data());
        }
        _exit(127);
    }
    if (child < 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int DifferingPixels(const Image& a, const Image& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        count += a.pixels[i] != b.pixels[i] ? 1 : 0;
    }
    return count;
}

class ProgramFrameTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vellorn_program_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    // The program's last frame on backend, read back from its frame file.
    void RunForFrame(Backend backend, Image* frame) {
        const std::string file =
            directory_ + (backend == Backend::Headless ? "/headless.png" : "/window.png");
        ASSERT_EQ(RunProgram(backend, file), 0);
        ASSERT_TRUE(ReadPng(file, frame));
        ASSERT_EQ(frame->width, 640);
        ASSERT_EQ(frame->height, 480);
    }

    std::string directory_;
};

TEST_F(ProgramFrameTest, HeadlessRunEndsOnTheGoldenFrame) {
    Image frame;
    RunForFrame(Backend::Headless, &frame);
    Image golden;
    ASSERT_TRUE(ReadPng(VELLORN_GOLDEN_DIR "/scripted_run.png", &golden));
    ASSERT_EQ(golden.pixels.size(), frame.pixels.size());
    EXPECT_EQ(DifferingPixels(frame, golden), 0);
}

TEST_F(ProgramFrameTest, WindowShowsTheHeadlessFrameOfTheSameRun) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        GTEST_SKIP() << "no display";
    }
    // The program answers a display it cannot open with a message box; ask
    // SDL first, in this process, and let go of it before the runs.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        GTEST_SKIP() << "SDL cannot open the display: " << SDL_GetError();
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);

    Image headless;
    RunForFrame(Backend::Headless, &headless);
    Image window;
    RunForFrame(Backend::Sdl, &window);
    EXPECT_EQ(DifferingPixels(window, headless), 0);
}

}  // namespace
