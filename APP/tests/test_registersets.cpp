// INI register sets: the profile-file rules of the reader, the comma-text
// list and the words a set sends to the sensor, in order, after a reset.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <vector>

#include "APP/camera/RegisterSets.h"
#include "APP/tests/AppTestSupport.h"
#include "platform/device.h"

namespace {

// Stands in for the camera: answers every request and logs the reset
// command packets (as the word 0xFFFF) and the register words written.
class RecordingDevice : public platform::DeviceDriver {
 public:
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void*, DWORD,
                  DWORD& bytesReturned) override {
    bytesReturned = 0;
    std::uint8_t bytes[4] = {};
    if (in != nullptr) std::memcpy(bytes, in, inSize < 4 ? inSize : 4);
    if (code == QDV_IOCTL_COMMAND && bytes[0] == QDV_CMD_RESET_SENSOR) log.push_back(0xFFFF);
    if (code == QDV_IOCTL_SET_SENSOR_REG) {
      log.push_back(static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8));
    }
    return ERROR_SUCCESS;
  }
  std::vector<std::uint16_t> log;
};
constexpr std::uint16_t Reset = 0xFFFF;

class RegisterSetTest : public CameraTestBase, public ::testing::Test {
 protected:
  RegisterSetTest() : device(std::make_shared<RecordingDevice>()) {
    platform::RegisterDevice(simcam::kDeviceName, device);
  }
  ~RegisterSetTest() override {
    simcam::Install();  // the simulated camera again for the next test
  }
  void WriteIni(const QByteArray& text) {
    QFile file(folder.path() + "/QDV47B5.INI");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    controller->IniFile = std::make_unique<TIniFile>(file.fileName());
  }
  std::vector<std::uint16_t> Load(const char* name) {
    device->log.clear();
    controller->LoadRegisterSet(name);
    return device->log;
  }

  QTemporaryDir folder;
  std::shared_ptr<RecordingDevice> device;
};

TEST(RegisterSetText, CommaTextItems) {
  const struct {
    const char* text;
    QStringList items;
  } cases[] = {
      {"3A01,  3B02,,3C03", {"3A01", "3B02", "", "3C03"}},
      {"  a b\tc ", {"a", "b", "c"}},
      {"\"x, y\" , \"say \"\"hi\"\"\",", {"x, y", "say \"hi\"", ""}},
      {"", {}},
      {" , ", {""}},  // a comma followed by blanks adds no empty item
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommaText(c.text), c.items) << c.text;
  EXPECT_EQ(SplitCommaText(QString::fromLatin1("1 \0\x01,2", 6)), QStringList{"1"});
}

TEST(RegisterSetText, HexWords) {
  const struct {
    const char* item;
    std::uint16_t word;
  } cases[] = {{"3a01", 0x3A01},   {"G123", 0},
               {"123456", 0x3456}, {"FFFFFFFF", 0xFFFF},
               {"100000000", 0},   {"000000001", 0x0001},
               {"$12", 0},         {"-1", 0},
               {" 12", 0},         {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(RegisterWordFromHex(c.item), c.word) << c.item;
}

TEST_F(RegisterSetTest, SetsAreSectionsAndEachSendsAResetThenItsWords) {
  WriteIni(
      "; register sets\r\n"
      "Regs=1111\r\n"  // before any section: ignored
      "[Night]\r\n"
      "  regs =  3A01,  3B02,,3C03  \r\n"
      "Regs=2222\r\n"  // a key's first line counts
      "[Odd]\r\nRegs='G123 123456'\r\n"
      "[NoRegs]\r\nRegister=1234\r\n"
      "[After]\r\nRegs=3A01\r\n"  // a key search ends at the next section
      "[Empty]\r\nRegs=\r\n"
      "[night]\r\nRegs=4444\r\n");  // a repeated section is not read
  QStringList sets{"stale"};
  controller->GetRegisterSets(sets);
  EXPECT_EQ(sets, QStringList({"Night", "Odd", "NoRegs", "After", "Empty"}));

  EXPECT_EQ(Load("NIGHT"), (std::vector<std::uint16_t>{Reset, 0x3A01, 0x3B02, 0x3C03}));
  EXPECT_EQ(Load("Odd"), (std::vector<std::uint16_t>{Reset, 0x0000, 0x3456}));
  EXPECT_TRUE(Load("NoRegs").empty());
  EXPECT_EQ(Load("After"), (std::vector<std::uint16_t>{Reset, 0x3A01}));
  EXPECT_TRUE(Load("Empty").empty());
  EXPECT_TRUE(Load("Missing").empty());
}

// Files no program wrote: binary bytes, long lines, numbers past 32 bits.
// Every set still lists and loads by the rules, nothing else reaches the
// sensor, and nothing is reported.
TEST_F(RegisterSetTest, HostileFilesLoadByTheRules) {
  // Long lines, but a file within the size of any real file of register sets.
  const QByteArray blanks(256 << 10, ' ');
  QByteArray text = QByteArray("\x00\xff\xfe[\x01]=\x80\r\n", 10) + blanks + "x\r\n";
  text += "[Big]\r\nRegs=FFFFFFFFFFFFFFFFFFFF,3A01" + blanks + "3B02\r\n";
  text += "[" + QByteArray(256 << 10, 'N') + "]\r\nRegs=1\r\n";
  text += QByteArray("[Bin]\r\nRegs=\x00\x01\xff,0001\r\n", 22);
  WriteIni(text);
  QStringList sets;
  controller->GetRegisterSets(sets);
  ASSERT_EQ(sets.size(), 3);
  EXPECT_EQ(sets[0], "Big");
  EXPECT_EQ(sets[1].size(), 256 << 10);
  EXPECT_EQ(sets[2], "Bin");
  EXPECT_EQ(Load("Big"), (std::vector<std::uint16_t>{Reset, 0x0000, 0x3A01, 0x3B02}));
  EXPECT_EQ(Load(sets[1].toLatin1().constData()), (std::vector<std::uint16_t>{Reset, 0x0001}));
  EXPECT_TRUE(Load("Bin").empty());  // the list ends at the NUL: no items
  EXPECT_EQ(mainView.panels[PanelStatus], "Status: OK");
}

TEST_F(RegisterSetTest, MissingFileListsNoSetsAndLoadsNothing) {
  controller->IniFile = std::make_unique<TIniFile>(folder.path() + "/none.ini");
  QStringList sets{"stale"};
  controller->GetRegisterSets(sets);
  EXPECT_TRUE(sets.isEmpty());
  EXPECT_TRUE(Load("Night").empty());
}

}  // namespace
