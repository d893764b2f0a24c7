// For GoogleTest programs that drive live video: the application object and
// the camera application as its program block builds it (test_render_setup.h)
// for the whole program, torn down at its end. Sim is the simulated camera.
#ifndef APP_TESTS_LIVE_VIDEO_ENVIRONMENT_H
#define APP_TESTS_LIVE_VIDEO_ENVIRONMENT_H

#include <gtest/gtest.h>

#include <QApplication>

#include "APP/tests/test_render_setup.h"

inline simcam::SimCamera* Sim = nullptr;

class LiveVideoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char arg0[] = "app_live_video_test";
    static char* argv[] = {arg0, nullptr};
    new QApplication(argc, argv);
    Sim = &StartLiveVideoApplication();
  }
  void TearDown() override {
    TThread::ShutDownAll();
    AppCommand->MainView = nullptr;
    delete MainForm;
    delete qApp;  // also releases the font configuration it loaded
  }
};

inline ::testing::Environment* const LiveVideoTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new LiveVideoEnvironment);

#endif
