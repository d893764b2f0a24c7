// The application object of a GoogleTest program that drives Qt: made before
// the first test, in the thread that runs the tests (which becomes the GUI
// thread), and deleted after the last one. A program registers it once:
//   [[maybe_unused]] ::testing::Environment* const Environment =
//       ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("name"));
// The name is the application's (settings and temporary folders follow it).
//
// A message box would wait for a user who never comes, and the test would
// hang until its time-out: instead, a message nobody expected fails the test
// that caused it at once. Tests that expect messages take them with their own
// ScopedMessageSink.
// Programs that build more around the application object (forms, the
// simulated camera) derive and override SetUpProgram and TearDownProgram.
#ifndef COMMON_TESTS_QTTESTENVIRONMENT_H
#define COMMON_TESTS_QTTESTENVIRONMENT_H

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <string>

#include "common/Messages.h"

template <class Application>
class TQtTestEnvironment : public ::testing::Environment {
 public:
  explicit TQtTestEnvironment(const char* programName) : name_(programName) {}
  void SetUp() override {
    argv_[0] = name_.data();
    if (QCoreApplication::instance() == nullptr) new Application(argc_, argv_);
    SetMessageSink([](MessageKind, const QString& caption, const QString& text) {
      ADD_FAILURE() << "unexpected message box \"" << caption.toStdString()
                    << "\": " << text.toStdString();
    });
    SetUpProgram();
  }
  void TearDown() override {
    TearDownProgram();
    SetMessageSink({});
    delete QCoreApplication::instance();  // also releases the fonts it loaded
  }

 protected:
  virtual void SetUpProgram() {}
  virtual void TearDownProgram() {}

 private:
  std::string name_;
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
};

#endif
