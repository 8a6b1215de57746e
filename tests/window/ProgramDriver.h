#pragma once

#include "Screenshot.h"
#include "TestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

// Driving the real program through its console and its window.
namespace driver {

// A test of the real program in its window: a scratch working directory that
// sees the project's shaders as res/, on the X server named by DISPLAY
// (skipped without one), with every key released before and after.
class WindowedProgram : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ScopedTempDir dir;
};

extern const std::string FIRST_QUESTION;

int countOf(const std::string& text, const std::string& part);

// Pixels that are not the clear colour.
int countPlanetPixels(const Image& image);

// xdotool dies between press and release when Esc closes the window under
// it; the server then repeats the held key into every later window.
void releaseKeys();

// A real key press in the focused "Orbivane" window.
void press(const std::string& key);

// Presses a key in the "Orbivane" window until done() holds. The program
// reads its events every frame, so a key that has not made done() hold after
// LOST_AFTER_FRAMES frames was lost (to a window still settling) and is
// pressed again, at most a few times. Once the window has gone, done() is
// awaited, the clock only guarding against a hung program.
bool pressUntil(const std::string& key, const std::function<bool()>& done);
constexpr int LOST_AFTER_FRAMES = 30;

// Presses Esc until the cycle has ended, that is until the first question
// has been asked `questions` times.
bool escapeUntilAsked(BackgroundProgram& program, int questions);

// Presses a key until `made` names a file.
bool pressUntilFile(const char* key, const std::string& made);

// Waits until the window shows the planet on its background, in one of its
// first frames; its id, or 0. timeoutSeconds bounds the wait for the window.
unsigned long waitForPlanet(Image& shot, double timeoutSeconds = 60);

// Waits until the program's output holds `part` `times` times.
bool waitForOutput(BackgroundProgram& program, const std::string& part, int times, double timeoutSeconds);

// Waits until done() holds or the program has ended, however long its work
// takes: the clock only guards against a hung program. Returns done().
bool waitUntilSettled(BackgroundProgram& program, const std::function<bool()>& done);
constexpr double HANG_GUARD_SECONDS = 900;

// Waits the same way for the program's "Orbivane" window; its id, or 0.
unsigned long waitForWindowOf(BackgroundProgram& program);

} // namespace driver
