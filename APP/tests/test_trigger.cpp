// Trigger control and the external-input display, the one-shot white
// balance with the camera's lookup tables, the camera's own white balance
// and the choice of colour correction.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "APP/camera/WhiteBalance.h"
#include "APP/tests/AppTestSupport.h"
#include "common/GuiSync.h"

namespace {

// Serves the GUI thread until `done` holds or `ms` have passed.
bool ServeUntil(const std::function<bool()>& done, int ms = 5000) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class TriggerTest : public CameraTestBase, public ::testing::Test {
 protected:
  TriggerTest() { controller->SettingsView = &settings; }
  ~TriggerTest() override {
    if (thread != nullptr) {
      thread->Terminate();
      while (!thread->Finished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      thread->WaitFor();
    }
    TriggerThread = nullptr;
  }
  // A trigger thread waiting for `eventName`, running at once.
  void StartThread(const char* eventName) {
    thread = std::make_unique<TTriggerThread>(false, eventName);
    TriggerThread = thread.get();
    thread->Start();
  }
  std::uint64_t InputReads() const { return camera.RequestCount(QDV_IOCTL_EXTERNAL_INPUT); }

  FakeSettingsView settings;
  std::unique_ptr<TTriggerThread> thread;
};

TEST_F(TriggerTest, SignalledEventShowsInputsWhileTheDialogIsShown) {
  settings.shown = true;
  StartThread(TriggerEventName);
  const struct {
    int input;
    bool active;
    std::array<bool, 2> shown;
  } steps[] = {{1, true, {true, false}}, {2, true, {true, true}}, {1, false, {false, true}}};
  for (const auto& step : steps) {
    const int updates = settings.inputUpdates;
    camera.SetExternalInput(step.input, step.active);
    ASSERT_TRUE(ServeUntil([&] { return settings.inputUpdates > updates; }));
    EXPECT_EQ(settings.inputs, step.shown);
  }

  // Hidden dialog: the poll reads the inputs and shows nothing.
  settings.shown = false;
  const int updates = settings.inputUpdates;
  const std::uint64_t reads = InputReads();
  camera.SetExternalInput(2, false);
  ASSERT_TRUE(ServeUntil([&] { return InputReads() > reads; }));
  EXPECT_EQ(settings.inputUpdates, updates);
}

TEST_F(TriggerTest, MissingEventOpensNoDeviceUntilItExists) {
  constexpr char name[] = "TriggerTestEvent";
  StartThread(name);
  camera.SetExternalInput(1, true);  // signals the camera's own event only
  ServeUntil([] { return false; }, 300);
  EXPECT_EQ(InputReads(), 0u);

  // Once the event exists the thread finds it on a later try.
  const HANDLE event = CreateEventA(nullptr, 0, 1, name);
  settings.shown = true;
  EXPECT_TRUE(ServeUntil([&] { return settings.inputUpdates > 0; }));
  EXPECT_EQ(settings.inputs, (std::array<bool, 2>{true, false}));
  CloseHandle(event);
}

TEST_F(TriggerTest, WaitingForTheEventNeverHoldsTheGuiThread) {
  // With an event that is never signalled, steps handed to the GUI thread
  // (as the frame thread hands over every frame) are served one after
  // another well within a single 2,000 ms wait.
  constexpr char name[] = "TriggerTestQuietEvent";
  const HANDLE event = CreateEventA(nullptr, 0, 0, name);
  StartThread(name);
  std::atomic<int> served{0};
  std::thread frames([&] {
    for (int i = 0; i < 20; ++i) {
      if (SynchronizeWithGui([&] { ++served; })) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
  });
  EXPECT_TRUE(ServeUntil([&] { return served.load() == 20; }, TTriggerThread::WaitMs - 200));
  ServeUntil([&] { return served.load() == 20; });
  frames.join();
  EXPECT_EQ(InputReads(), 0u);
  CloseHandle(event);
}

// The end of a triggered run on its own, with a camera object of its own:
// only an armed run ends, keeping the output bits and nothing else.
TEST_F(TriggerTest, TriggeredRunEndsOnlyWhenArmedAndKeepsTheOutputs) {
  QStringList reports;
  TCamera cam([&reports](const QString& text) { reports << text; });
  const struct {
    bool armed;
    DWORD before;
    bool ends;
    DWORD after;
  } cases[] = {
      {true, 16 + 8 + 2, true, 8 + 2},
      {true, 32 + 16 + 4 + 1, true, 4 + 1},
      {false, 16 + 8, false, 16 + 8},
  };
  for (const auto& c : cases) {
    Driver driver;
    ASSERT_TRUE(SetTriggerControl(driver.handle, c.before));
    TTriggerControl trigger;
    trigger.TriggerShotArmed = c.armed;
    EXPECT_EQ(trigger.EndTriggeredRun(cam), c.ends) << c.before;
    EXPECT_FALSE(trigger.TriggerShotArmed);
    DWORD value = 99;
    ASSERT_TRUE(GetTriggerControl(driver.handle, &value));
    EXPECT_EQ(value, c.after) << c.before;
  }
  EXPECT_FALSE(reports.isEmpty());
  EXPECT_TRUE(
      std::all_of(reports.begin(), reports.end(), [](const QString& t) { return t.isEmpty(); }));
}

TEST_F(TriggerTest, TriggerFlagsArmingAndTheDisplaySwitch) {
  auto flags = [] {
    Driver driver;
    DWORD value = 99;
    EXPECT_TRUE(GetTriggerControl(driver.handle, &value));
    return value;
  };
  controller->Trigger.TriggerShotArmed = true;
  controller->SetTrigger(false, false, false, true, false);
  EXPECT_EQ(flags(), 2u);
  EXPECT_FALSE(controller->Trigger.TriggerShotArmed);
  EXPECT_FALSE(controller->Running);

  controller->SetTrigger(true, true, true, false, true);
  EXPECT_EQ(flags(), 16u + 8 + 4 + 1);
  EXPECT_TRUE(controller->Trigger.TriggerShotArmed);
  EXPECT_TRUE(controller->Running);  // external synchronisation starts live video
  controller->StopVideo();

  TTriggerThread paused(true);
  TriggerThread = &paused;
  controller->SetTriggerMode(true);
  EXPECT_TRUE(controller->Trigger.TriggerMode);
  EXPECT_EQ(paused.PauseCount(), 0);
  controller->SetTriggerMode(false);
  EXPECT_FALSE(controller->Trigger.TriggerMode);
  EXPECT_EQ(paused.PauseCount(), 1);
}

// --- White balance ----------------------------------------------------------

class WhiteBalanceTest : public CameraTestBase, public ::testing::Test {
 protected:
  using Table = std::vector<std::uint16_t>;
  // The camera's colour table: entry i of every channel is i.
  WhiteBalanceTest() : ramp(3 * 4096) {
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint16_t>(i % 4096);
    Driver driver;
    EXPECT_TRUE(SetColorLookupTable(driver.handle, ramp.data()));
    camera.ResetRequestCounts();
  }
  Table CameraTable() {
    Driver driver;
    Table table(3 * 4096);
    EXPECT_TRUE(GetColorLookupTable(driver.handle, table.data()));
    return table;
  }
  std::uint64_t TableRequests() const { return camera.RequestCount(QDV_IOCTL_LOOKUP_TABLE); }

  Table ramp;
};

// A 2 x 2 GBRG cell: green 120 at both green sites, blue 150, red 100, so
// r = 120 / 100 = 1.2 and b = 120 / 150 = 0.8.
template <class T>
std::array<T, 4> Cell(T red) {
  return {120, 150, red, 120};
}

TEST_F(WhiteBalanceTest, TenBitFrameScalesTheTablesAndClampsAt1023) {
  const auto cell = Cell<std::uint16_t>(100);
  controller->AutoWhiteBalance(cell.data(), 2, 2, 10);
  EXPECT_EQ(TableRequests(), 2u);  // one read, one write
  const Table table = CameraTable();
  const std::uint16_t* red = table.data();
  const std::uint16_t* green = red + 4096;
  const std::uint16_t* blue = green + 4096;
  EXPECT_EQ(red[100], 116);   // 115.61
  EXPECT_EQ(red[884], 1022);  // 1021.96
  EXPECT_EQ(red[885], 1023);  // 1023.12, clamped
  EXPECT_EQ(red[4095], 1023);
  EXPECT_EQ(green[100], 96);    // 96.34
  EXPECT_EQ(green[1023], 986);  // 985.55
  EXPECT_EQ(blue[100], 77);     // 77.07
  EXPECT_EQ(blue[1023], 788);   // 788.44
  EXPECT_EQ(blue[4095], 1023);  // 3156.07, clamped
}

TEST_F(WhiteBalanceTest, EightBitFrameClampsAt255) {
  const auto cell = Cell<std::uint8_t>(100);
  controller->AutoWhiteBalance(cell.data(), 2, 2, 8);
  const Table table = CameraTable();
  EXPECT_EQ(table[100], 116);
  EXPECT_EQ(table[221], 255);         // 255.49
  EXPECT_EQ(table[220], 254);         // 254.34
  EXPECT_EQ(table[4096 + 255], 246);  // 245.66
}

TEST_F(WhiteBalanceTest, NothingIsWrittenWithoutRatiosOrATable) {
  const auto noRed = Cell<std::uint16_t>(0);
  const auto cell = Cell<std::uint16_t>(100);
  controller->AutoWhiteBalance(noRed.data(), 2, 2, 10);  // r = -1
  controller->AutoWhiteBalance(cell.data(), 2, 2, 12);   // 12 bits: no balance
  EXPECT_EQ(TableRequests(), 0u);

  // A table that cannot be read is not scaled and sent back.
  camera.FailRequests(QDV_IOCTL_LOOKUP_TABLE, 1);
  controller->AutoWhiteBalance(cell.data(), 2, 2, 10);
  EXPECT_EQ(TableRequests(), 1u);
  EXPECT_EQ(Status(), "Status: FAIL");
  EXPECT_EQ(CameraTable(), ramp);
}

TEST_F(WhiteBalanceTest, ScaledEntriesRoundHalvesToEven) {
  std::uint16_t entries[] = {3, 5, 7, 9, 600};
  ScaleLookupTable(entries, 5, 0.5, 255);
  EXPECT_EQ(std::vector<std::uint16_t>(entries, entries + 5),
            (std::vector<std::uint16_t>{2, 2, 4, 4, 255}));
}

TEST_F(WhiteBalanceTest, RequestsCameraBalanceAndCorrectionChoice) {
  controller->WhiteBalance();
  EXPECT_FALSE(controller->Render.WhiteBalancePending);  // only while live video runs
  controller->Running = true;
  controller->WhiteBalance();
  EXPECT_TRUE(controller->Render.WhiteBalancePending);
  controller->Running = false;

  const struct {
    void (TAppCommand::*command)();
    DWORD flags;
  } camerasOwn[] = {{&TAppCommand::WhiteBalanceAuto, 1},
                    {&TAppCommand::WhiteBalanceLock, 3},
                    {&TAppCommand::WhiteBalanceDisable, 0}};
  for (const auto& c : camerasOwn) {
    (controller.get()->*c.command)();
    Driver driver;
    DWORD flags = 99;
    EXPECT_TRUE(GetWhiteBalanceFlags(driver.handle, &flags));
    EXPECT_EQ(flags, c.flags);
  }

  controller->Render.ColorCorrectionObject = MakeColorCorrection();
  ColorCorrection* const object = controller->Render.ColorCorrectionObject.get();
  controller->SetHSLCorrection(30.0, 1.5, 0.75);
  double hsl[4] = {};
  GetColorCorrectionHSL(object, &hsl[0], &hsl[1], &hsl[2], &hsl[3]);
  EXPECT_EQ(std::vector<double>(hsl, hsl + 4), (std::vector<double>{30.0, 1.5, 0.75, 0.0}));
  EXPECT_EQ(controller->Render.ActiveCorrection, nullptr);  // setting HSL does not switch it on
  const std::pair<int, ColorCorrection*> choices[] = {
      {1, object}, {0, nullptr}, {2, object}, {3, nullptr}};
  for (const auto& [kind, active] : choices) {
    controller->SetImageCorrection(kind);
    EXPECT_EQ(controller->Render.ActiveCorrection, active) << kind;
  }
}

}  // namespace
