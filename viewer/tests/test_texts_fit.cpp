// Every text the viewer's windows show fits its control whole at the font
// in use: every static text of every window as it stands, the about box
// with its texts filled, and the widest value of the frame counter and of
// each histogram panel. A cut number reads as a smaller one.
#include <QStatusBar>

#include "common/tests/TextFit.h"
#include "viewer/TAboutForm.h"
#include "viewer/TFileInfo.h"
#include "viewer/THistogram.h"
#include "viewer/TSettingsForm.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class TextsFitTest : public ViewerTest {
 protected:
  TextsFitTest()
      : fileInfo(std::make_unique<TFileInfo>(form.get())),
        about(std::make_unique<TAboutForm>(form.get())),
        settings(std::make_unique<TSettingsForm>(form.get())),
        histogram(std::make_unique<THistogram>(form.get())) {
    settings->FormCreate();
  }
  ~TextsFitTest() override {
    form->Session.Settings = nullptr;
    form->Session.HistogramView = nullptr;
    form->AboutView = nullptr;
    form->FileInfoView = nullptr;
  }

  static QStringList Walk(QWidget* window) {
    window->show();
    QCoreApplication::processEvents();
    QStringList cut;
    for (const QString& c : textfit::CutTexts(window))
      cut << window->objectName() + QStringLiteral(": ") + c;
    window->hide();
    return cut;
  }

  std::unique_ptr<TFileInfo> fileInfo;
  std::unique_ptr<TAboutForm> about;
  std::unique_ptr<TSettingsForm> settings;
  std::unique_ptr<THistogram> histogram;
};

TEST_F(TextsFitTest, StaticTextsFitOnEveryWindow) {
  about->FormActivate();  // version, build date, developer and address
  QStringList cut;
  for (QWidget* window : std::initializer_list<QWidget*>{form.get(), fileInfo.get(), about.get(),
                                                         settings.get(), histogram.get()})
    cut << Walk(window);
  EXPECT_TRUE(cut.isEmpty()) << cut.join(QLatin1Char('\n')).toStdString();
}

TEST_F(TextsFitTest, WidestValuesFit) {
  QStringList cut;
  // The frame counter, in the one panel that reaches the window's edge.
  form->show();
  QCoreApplication::processEvents();
  auto* counter = form->StatusBar->findChild<QLabel*>(QStringLiteral("StatusPanel0"));
  cut << textfit::CutWhenShown(counter, TViewerSession::FrameCounterText(INT32_MAX));
  EXPECT_GT(counter->width(), form->StatusBar->width() / 2);

  // Histogram panels: the frame histogram's 256 values in panels 0 to 3,
  // the RAW histogram's 4096 in panels 4 to 7, with the window at its
  // narrowest (8-bit frames), and the texts of a histogram without counts.
  const struct {
    int panel;
    const char* text;
  } panels[] = {{0, "Min:255"},  {0, "Min:256"},  {1, "Avg:255.00"},  {1, "Avg:-"},
                {2, "Max:255"},  {2, "Max:-1"},   {3, "Delta:256"},   {3, "Delta:-256"},
                {4, "Min:4095"}, {4, "Min:4096"}, {5, "Avg:4095.00"}, {5, "Avg:2047.50"},
                {6, "Max:4095"}, {6, "Max:-1"},   {7, "Delta:4096"},  {7, "Delta:-4096"}};
  histogram->SetRAWBits(8);
  histogram->show();
  QCoreApplication::processEvents();
  for (const auto& p : panels) {
    auto* panel =
        histogram->StatusBar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(p.panel));
    cut << textfit::CutWhenShown(panel, QString::fromLatin1(p.text));
    // Inside the window, and apart from its neighbour.
    EXPECT_LE(panel->mapTo(histogram.get(), QPoint(panel->width(), 0)).x(), histogram->width())
        << p.text;
  }
  cut.removeAll(QString());
  EXPECT_TRUE(cut.isEmpty()) << cut.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
