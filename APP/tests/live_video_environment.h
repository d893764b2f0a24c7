// For GoogleTest programs that drive live video: the application object and
// the camera application as its program block builds it (test_render_setup.h)
// for the whole program, torn down at its end. Sim is the simulated camera.
#ifndef APP_TESTS_LIVE_VIDEO_ENVIRONMENT_H
#define APP_TESTS_LIVE_VIDEO_ENVIRONMENT_H

#include <gtest/gtest.h>

#include <QApplication>

#include "APP/tests/test_render_setup.h"
#include "common/tests/QtTestEnvironment.h"

inline simcam::SimCamera* Sim = nullptr;

class LiveVideoEnvironment : public TQtTestEnvironment<QApplication> {
 public:
  LiveVideoEnvironment() : TQtTestEnvironment("app_live_video_test") {}

 protected:
  void SetUpProgram() override { Sim = &StartLiveVideoApplication(); }
  void TearDownProgram() override {
    TThread::ShutDownAll();
    AppCommand->MainView = nullptr;
    delete MainForm;
  }
};

inline ::testing::Environment* const LiveVideoTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new LiveVideoEnvironment);

#endif
